// Text at the Win32 boundary: our strings are UTF-8, the wide API takes UTF-16; the system's own
// message for an error code.
#pragma once

#include <string>

namespace base {

std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& s);
std::string WideToUtf8(const wchar_t* s, size_t n);
// FormatMessage's text for the code, without the trailing line break; "" when there is none.
std::string SysErrorMessage(unsigned long code);

}  // namespace base
