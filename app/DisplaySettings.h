// userfont.dat: the stopped-time display's font and the active-key choice, eight text lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace app {

inline constexpr int32_t clWindowText = static_cast<int32_t>(0x80000008u);

// The font as the program keeps it: Windows character set, colour (system colours have the top bit
// set), height (negative: character height in pixels), name, pitch (0 default, 1 variable, 2 fixed),
// size in points, style bits (bold 1, italic 2, underline 4, strike-out 8).
struct TDisplayFont {
    uint8_t Charset = 1;
    int32_t Color = clWindowText;
    int32_t Height = 0;
    std::string Name;
    uint8_t Pitch = 0;
    int32_t Size = 0;
    uint8_t Style = 0;

    // Height and size decide each other through the screen's pixels per inch.
    void SetHeight(int32_t height, int dpi);
    void SetSize(int32_t size, int dpi);
};

struct TDisplaySettings {
    uint8_t Charset = 238;
    int32_t Color = clWindowText;
    int32_t Height = -48;
    std::string Name = "Arial";
    uint8_t Pitch = 0;
    int32_t Size = 36;
    uint8_t Style = 0;
    int32_t KeyIndex = 0;
};

// The eight values in file order. Each number is read after blanks and line ends and the rest of
// its line is skipped; the name is the whole fourth line; the end of the file reads 0 or empty.
// Nothing when a number is not a decimal integer.
std::optional<TDisplaySettings> ParseDisplaySettings(const std::string& bytes);
std::string DisplaySettingsBytes(const TDisplaySettings& s);

// Applies the values in the order character set, colour, height, name, pitch, size, style: the size
// decides the height, an empty name keeps the name, a name is cut to 31 characters.
void ApplyDisplaySettings(const TDisplaySettings& s, TDisplayFont& font, int dpi);
// The point size the display font is made with: the size when positive, held to what a font
// dialog offers (1638); 0 when the font's own default is to stand.
int DisplayPointSize(const TDisplayFont& font);
inline constexpr int kMaxFontPoints = 1638;
// The key choice an index selects: below -1 none (-1), above 3 the last item.
int KeyChoiceOf(int32_t index);

// Reads the file; the built-in fallback when it can't be opened or read.
TDisplaySettings LoadDisplaySettings(const std::string& path);
// Writes the file anew; raises base::EInOutError.
void SaveDisplaySettings(const std::string& path, const TDisplayFont& font, int keyIndex);

}  // namespace app
