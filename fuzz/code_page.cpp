// Code page 1250 both ways: every decoding is valid UTF-8, and what was decoded encodes back to the
// same bytes, but for the five unassigned ones ('?').
#include <cstdint>
#include <string>

#include "base/AnsiCodePage.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string utf8 = base::AnsiToUtf8(bytes);
    FUZZ_CHECK(fuzz::ValidUtf8(utf8));
    FUZZ_CHECK(fuzz::Chars(utf8) == bytes.size());
    std::string expected = bytes;
    for (char& c : expected)
        if (c == '\x81' || c == '\x83' || c == '\x88' || c == '\x90' || c == '\x98') c = '?';
    FUZZ_CHECK(base::Utf8ToAnsi(utf8) == expected);

    // Any text, valid or not: one byte per character at most, and nothing invalid comes back.
    const std::string ansi = base::Utf8ToAnsi(bytes);
    FUZZ_CHECK(ansi.size() <= bytes.size());
    FUZZ_CHECK(fuzz::ValidUtf8(base::AnsiToUtf8(ansi)));
    if (fuzz::ValidUtf8(bytes)) FUZZ_CHECK(ansi.size() == fuzz::Chars(bytes));
    return 0;
}
