// userfont.dat, through to what the window applies: parsing never fails but with "no settings",
// what was read is written back and read again to the same values, and the applied font stays in
// range whatever the screen's pixels per inch.
#include <cstdint>
#include <string>

#include "app/DisplaySettings.h"
#include "base/AnsiCodePage.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto parsed = app::ParseDisplaySettings(bytes);
    if (!parsed) return 0;
    const app::TDisplaySettings& s = *parsed;
    FUZZ_CHECK(fuzz::ValidUtf8(s.Name));
    const int key = app::KeyChoiceOf(s.KeyIndex);
    FUZZ_CHECK(key >= -1 && key <= 3);

    // Written and read again: the same eight values (a name is one line, so it keeps no line end).
    const auto again = app::ParseDisplaySettings(app::DisplaySettingsBytes(s));
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->Charset == s.Charset && again->Color == s.Color && again->Height == s.Height);
    FUZZ_CHECK(again->Pitch == s.Pitch && again->Size == s.Size && again->Style == s.Style);
    FUZZ_CHECK(again->KeyIndex == s.KeyIndex);
    // The name as the code page holds it: what it lacks comes back as '?'.
    if (s.Name.find_first_of("\r\n\x1A") == std::string::npos)
        FUZZ_CHECK(again->Name == base::AnsiToUtf8(base::Utf8ToAnsi(s.Name)));

    for (int dpi : {72, 96, 120, 144, 192}) {
        app::TDisplayFont font;
        font.Name = "Arial";
        app::ApplyDisplaySettings(s, font, dpi);
        FUZZ_CHECK(!font.Name.empty() && fuzz::ValidUtf8(font.Name));
        FUZZ_CHECK(font.Style <= 15);
        const int points = app::DisplayPointSize(font);
        FUZZ_CHECK(points >= 0 && points <= app::kMaxFontPoints);
        FUZZ_CHECK(font.Size <= 0 || points > 0);
    }
    return 0;
}
