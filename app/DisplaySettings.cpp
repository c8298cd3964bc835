#include "app/DisplaySettings.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "base/AnsiCodePage.h"
#include "base/TextFile.h"

namespace app {

namespace {

// a * b / c rounded, held to 32 bits: a file's far out-of-range numbers saturate instead of
// wrapping round to the other sign.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    double v = c == 0 ? 0.0 : std::round(static_cast<double>(a) * b / c);
    return static_cast<int32_t>(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

int32_t Negated(int32_t v) { return v == INT32_MIN ? INT32_MAX : -v; }

class TReader {
public:
    explicit TReader(const std::string& s) : s_(s) {}

    // A decimal integer, as a text file's number read does it; then the rest of the line goes.
    bool Number(int32_t& v) {
        while (pos_ < s_.size() && static_cast<unsigned char>(s_[pos_]) <= ' ') ++pos_;
        size_t start = pos_;
        while (pos_ < s_.size() && static_cast<unsigned char>(s_[pos_]) > ' ') ++pos_;
        std::string token = s_.substr(start, pos_ - start);
        SkipLine();
        if (token.empty()) {
            v = 0;  // end of file
            return true;
        }
        size_t i = token[0] == '-' || token[0] == '+' ? 1 : 0;
        if (i == token.size()) return false;
        int64_t n = 0;
        for (; i < token.size(); ++i) {
            if (token[i] < '0' || token[i] > '9') return false;
            n = n * 10 + (token[i] - '0');
            if (n > 2147483648LL) return false;
        }
        n = token[0] == '-' ? -n : n;
        if (n > 2147483647LL) return false;
        v = static_cast<int32_t>(n);
        return true;
    }

    std::string Line() {
        size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] != '\r' && s_[pos_] != '\n') ++pos_;
        std::string line = s_.substr(start, pos_ - start);
        SkipLine();
        return line;
    }

private:
    void SkipLine() {
        while (pos_ < s_.size() && s_[pos_] != '\r' && s_[pos_] != '\n') ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '\r') ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '\n') ++pos_;
    }

    const std::string& s_;
    size_t pos_ = 0;
};

}  // namespace

void TDisplayFont::SetHeight(int32_t height, int dpi) {
    Height = height;
    Size = Negated(MulDiv(height, 72, dpi));
}

void TDisplayFont::SetSize(int32_t size, int dpi) {
    Size = size;
    Height = Negated(MulDiv(size, dpi, 72));
}

std::optional<TDisplaySettings> ParseDisplaySettings(const std::string& bytes) {
    // A file ended by character 26 ends there, as text files do.
    std::string text = bytes.substr(0, bytes.find('\x1A'));
    TReader r(text);
    TDisplaySettings s;
    int32_t charset, pitch, style;
    if (!r.Number(charset) || !r.Number(s.Color) || !r.Number(s.Height)) return std::nullopt;
    s.Name = base::AnsiToUtf8(r.Line());
    if (!r.Number(pitch) || !r.Number(s.Size) || !r.Number(style) || !r.Number(s.KeyIndex)) return std::nullopt;
    s.Charset = static_cast<uint8_t>(charset);
    s.Pitch = static_cast<uint8_t>(pitch);
    s.Style = static_cast<uint8_t>(style);
    return s;
}

std::string DisplaySettingsBytes(const TDisplaySettings& s) {
    auto line = [](long long v) { return std::to_string(v) + "\r\n"; };
    return line(s.Charset) + line(s.Color) + line(s.Height) + base::Utf8ToAnsi(s.Name) + "\r\n" + line(s.Pitch) +
           line(s.Size) + line(s.Style) + line(s.KeyIndex);
}

void ApplyDisplaySettings(const TDisplaySettings& s, TDisplayFont& f, int dpi) {
    f.Charset = s.Charset;
    f.Color = s.Color;
    f.SetHeight(s.Height, dpi);
    if (!s.Name.empty()) {
        std::string ansi = base::Utf8ToAnsi(s.Name);
        f.Name = base::AnsiToUtf8(ansi.substr(0, 31));
    }
    f.Pitch = s.Pitch;
    f.SetSize(s.Size, dpi);
    f.Style = s.Style & 0x0F;
}

// A font of a billion points would stall every repaint.
int DisplayPointSize(const TDisplayFont& font) { return font.Size > 0 ? std::min<int32_t>(font.Size, kMaxFontPoints) : 0; }

int KeyChoiceOf(int32_t index) { return index < -1 ? -1 : index > 3 ? 3 : index; }

TDisplaySettings LoadDisplaySettings(const std::string& path) {
    try {
        if (std::optional<TDisplaySettings> s = ParseDisplaySettings(base::ReadWholeFile(path))) return *s;
    } catch (const base::EInOutError&) {
    }
    return TDisplaySettings{};
}

void SaveDisplaySettings(const std::string& path, const TDisplayFont& f, int keyIndex) {
    TDisplaySettings s{f.Charset, f.Color, f.Height, f.Name, f.Pitch, f.Size, f.Style, keyIndex};
    base::RewriteFile(path, DisplaySettingsBytes(s));
}

}  // namespace app
