#include "base/Format.h"

#include <cstdio>

namespace base {

std::string TimeSeparatorFromFormat(const std::string& f) {
    for (size_t i = 0; i + 1 < f.size(); ++i) {
        if (f[i] != '%') continue;
        char c = f[i + 1];
        if (c == 'T' || c == 'R' || c == 'r') return ":";
        if (c == 'H' || c == 'I' || c == 'k' || c == 'l') {
            size_t end = f.find('%', i + 2);
            std::string sep = f.substr(i + 2, end == std::string::npos ? std::string::npos : end - i - 2);
            return sep.empty() ? ":" : sep;
        }
    }
    return ":";
}

std::string PadLeft(const std::string& s, size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string PadRight(const std::string& s, size_t width) {
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string FormatFixed(double value, int decimals, const std::string& decimalSep) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    // snprintf follows LC_NUMERIC, which the toolkit may have set: find its radix whatever it is.
    size_t dot = s.find_first_not_of("-0123456789");
    if (dot != std::string::npos) s.replace(dot, s.find_first_of("0123456789", dot) - dot, decimalSep);
    return s;
}

std::string ErrorReportText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

}  // namespace base
