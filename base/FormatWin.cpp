#include <windows.h>

#include "base/Format.h"
#include "base/Win32Text.h"

namespace base {

namespace {

std::string LocaleText(LCTYPE what) {
    wchar_t buf[16] = {};
    int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, what, buf, 16);
    return n > 1 ? WideToUtf8(buf, static_cast<size_t>(n - 1)) : std::string();
}

}  // namespace

TFormatSettings UserFormatSettings() {
    TFormatSettings fs;
    std::string time = LocaleText(LOCALE_STIME);
    if (!time.empty()) fs.TimeSeparator = time;
    std::string decimal = LocaleText(LOCALE_SDECIMAL);
    if (!decimal.empty()) fs.DecimalSeparator = decimal;
    return fs;
}

}  // namespace base
