// SNTP client (RFC 4330 unicast client mode): one request, one reply, clock offset and setting.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "timesync/IdUDPClient.h"

namespace timesync {

inline constexpr double NtpScale = 4294967297.0;  // 2^32 + 1, as the timestamps have always been scaled

// Seconds and fraction words of an NTP timestamp.
struct TNtpTimestamp {
    uint32_t Seconds = 0;
    uint32_t Fraction = 0;
};

uint32_t SwapBytes32(uint32_t v);
// Local day-count time to NTP, given the local-to-UTC bias in days. Seconds wrap modulo 2^32; a
// time that is not a number or lies beyond 2^62 seconds raises std::out_of_range.
TNtpTimestamp LocalTimeToNtp(double localTime, double utcBiasDays);
// NTP to local day-count time, the fraction cut to whole milliseconds. Seconds with the top bit
// clear lie in the era that began on 2036-02-07 06:28:16 UTC.
double NtpToLocalTime(uint32_t seconds, uint32_t fraction, double utcBiasDays);

// The local-to-UTC bias in days from the clock's time-zone information; raises EIdException with
// the system's message when it cannot be read.
double UtcBias(base::TClock& clock);
// Sets the local clock to the day-count time; false when the system refuses.
bool SetLocalClock(base::TClock& clock, double localTime);

class TIdSNTP : public TIdUDPClient {
public:
    explicit TIdSNTP(base::TClock& clock = base::SystemClock());

    // False for no usable reply, and for a clock the system would not set: then Refusal says why
    // (and ClockOffset holds what was measured), else it is empty.
    bool SynchroniseClock();
    double QueryServerTime();
    bool ReplyIsUnusable(const std::array<uint8_t, 48>& packet);

    double DestinationTime = 0;
    double ClockOffset = 0;
    double OriginateTime = 0;
    double ReceiveTime = 0;
    double RoundTrip = 0;
    double TransmitTime = 0;
    bool RejectBadStratum = true;
    int Stratum = 0;
    std::string ReferenceSource;
    std::optional<base::TClockRefusal> Refusal;

    // Source of the random bits below one microsecond in the sent transmit timestamp; for tests.
    std::function<uint32_t()> Random;

private:
    double LocalNow();
    base::TClock& clock_;
};

}  // namespace timesync
