// Regional separators and the few printf-style formats the program's texts use.
#pragma once

#include <string>

namespace base {

struct TFormatSettings {
    std::string TimeSeparator = ":";
    std::string DecimalSeparator = ".";
};

// The user's regional separators (UTF-8), read once from the user's locale.
TFormatSettings UserFormatSettings();

// Picks the time separator out of a strftime-style time format ("%H:%M:%S" gives ":").
std::string TimeSeparatorFromFormat(const std::string& timeFormat);

// "%*s": right-aligned in `width` characters; a longer text is kept whole.
std::string PadLeft(const std::string& s, size_t width);
// "%-*s": left-aligned and padded with blanks; a longer text is kept whole.
std::string PadRight(const std::string& s, size_t width);

// "%0.<decimals>f" with the given decimal separator and no thousands separators.
std::string FormatFixed(double value, int decimals, const std::string& decimalSep);

// The standard error report's text: a full stop is added when the last character sorts after ".".
std::string ErrorReportText(const std::string& message);

}  // namespace base
