// The recovery file of records not yet written: any bytes give the records up to the first fault,
// each with a path; what parses is written back to the same bytes (a whole file) or to a prefix of
// them (a damaged one), and written again reads the same.
#include <cstdint>
#include <string>
#include <vector>

#include "app/RecordKeeper.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<app::TWaitingRecord> records;
    const bool whole = app::ParseRecovery(bytes, records);
    const std::string written = app::RecoveryBytes(records);
    for (const auto& r : records) FUZZ_CHECK(!r.Path.empty());
    if (whole) FUZZ_CHECK(written == bytes);
    else FUZZ_CHECK(bytes.compare(0, written.size(), written) == 0);
    std::vector<app::TWaitingRecord> again;
    FUZZ_CHECK(app::ParseRecovery(written, again));
    FUZZ_CHECK(again == records);
    return 0;
}
