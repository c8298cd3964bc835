// sndata.txt: any bytes give rows of valid UTF-8 with a name of at most 50 and an address of at most
// 25 characters, no line end inside, and no more rows than lines.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "timesync/ServerList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto rows = timesync::ParseServerList(bytes);
    const size_t lines = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    FUZZ_CHECK(rows.size() <= std::max<size_t>(lines, 1));
    for (const auto& row : rows) {
        FUZZ_CHECK(fuzz::ValidUtf8(row.Name) && fuzz::ValidUtf8(row.Address));
        FUZZ_CHECK(fuzz::Chars(row.Name) <= 50 && fuzz::Chars(row.Address) <= 25);
        FUZZ_CHECK(row.Address.empty() || fuzz::Chars(row.Name) == 50);
        for (const std::string* t : {&row.Name, &row.Address})
            FUZZ_CHECK(t->find_first_of("\r\n\x1A") == std::string::npos);
    }
    return 0;
}
