// usercom.dat: any bytes read as six lines of valid UTF-8 with no line end inside; written and read
// again they stay the same (after the first pass, which turns what the code page lacks into '?').
// usercts.dat, from the same bytes: always one of the lockout's items, and written back the same.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "serial/CtsLockout.h"
#include "serial/PortSelect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto lines = serial::ParsePortSettings(bytes);
    FUZZ_CHECK(lines.size() == 6);
    for (const auto& line : lines) {
        FUZZ_CHECK(fuzz::ValidUtf8(line));
        FUZZ_CHECK(line.find('\n') == std::string::npos);
    }
    const std::string written = serial::PortSettingsBytes(lines);
    const auto second = serial::ParsePortSettings(written);
    FUZZ_CHECK(serial::ParsePortSettings(serial::PortSettingsBytes(second)) == second);
    // Six CR LF ended lines, whatever they hold.
    size_t ends = 0;
    for (size_t i = 0; i + 1 < written.size(); ++i) ends += written[i] == '\r' && written[i + 1] == '\n';
    FUZZ_CHECK(ends >= 6 && written.size() >= 12 && written.compare(written.size() - 2, 2, "\r\n") == 0);

    const std::string lockout = serial::CtsLockoutOfBytes(bytes);
    const auto& items = serial::CtsLockoutItems();
    FUZZ_CHECK(std::find(items.begin(), items.end(), lockout) != items.end());
    FUZZ_CHECK(serial::CtsLockoutOfBytes(serial::CtsLockoutBytes(lockout)) == lockout);
    return 0;
}
