#include "base/Clock.h"

#include <chrono>

namespace base {

int64_t TClock::MonotonicUsNow() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::optional<int> BiasInForce(const TTimeZoneInformation& tzi) {
    switch (tzi.Result) {
    case TTimeZoneInformation::Daylight: return tzi.Bias + tzi.DaylightBias;
    case TTimeZoneInformation::Standard: return tzi.Bias + tzi.StandardBias;
    case TTimeZoneInformation::Unknown: return tzi.Bias;
    default: return std::nullopt;
    }
}

}  // namespace base
