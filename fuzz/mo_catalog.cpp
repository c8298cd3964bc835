// The Windows build's message catalogue reader: any bytes load in memory bounded by the file (the
// run's -rss_limit_mb and -malloc_limit_mb catch a blow-up), and a loaded catalogue answers every
// lookup with valid text of its own or the message itself.
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "serial/MoCatalog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    serial::TMoCatalog catalogue;
    const bool loaded = catalogue.LoadBytes(bytes);
    FUZZ_CHECK(loaded || catalogue.Size() == 0);
    FUZZ_CHECK(catalogue.Size() <= size / 8);
    for (const char* message : {"Registry error", "", "x", "Unable to open com port"}) {
        const std::string t = catalogue.Translate(message);
        FUZZ_CHECK(!std::string(message).empty() || t.empty());
    }
    (void)catalogue.Translate(bytes.substr(0, 64));
    return 0;
}
