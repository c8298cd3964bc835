// Address texts: an accepted literal has one canonical dotted form, which reads back as the same
// address; the form a request goes to and a reply's sender are compared in.
#include <cstdint>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "timesync/IdStack.h"

using timesync::TIdInAddr;
using timesync::TIdStack;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TIdInAddr a{};
    if (!TIdStack::ParseAddressLiteral(text, a)) return 0;
    const std::string canonical = TIdStack::TranslateTInAddrToString(a);
    TIdInAddr b{};
    FUZZ_CHECK(TIdStack::ParseAddressLiteral(canonical, b));
    FUZZ_CHECK(a == b);
    FUZZ_CHECK(TIdStack::TranslateTInAddrToString(b) == canonical);
    FUZZ_CHECK(canonical.size() >= 7 && canonical.size() <= 15);
    return 0;
}
