// The ANSI code page of the program's files: Windows-1250 (Central European).
#pragma once

#include <string>

namespace base {

// UTF-8 to cp1250. A character the code page lacks becomes '?'; invalid UTF-8 bytes too.
std::string Utf8ToAnsi(const std::string& utf8);
// cp1250 to UTF-8. The five unassigned bytes map to U+FFFD.
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace base
