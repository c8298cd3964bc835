#include "base/Clock.h"

namespace base {

std::optional<int> BiasInForce(const TTimeZoneInformation& tzi) {
    switch (tzi.Result) {
    case TTimeZoneInformation::Daylight: return tzi.Bias + tzi.DaylightBias;
    case TTimeZoneInformation::Standard: return tzi.Bias + tzi.StandardBias;
    case TTimeZoneInformation::Unknown: return tzi.Bias;
    default: return std::nullopt;
    }
}

}  // namespace base
