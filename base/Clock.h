// The PC clock: UTC and local time with milliseconds, the time-zone information, setting the clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/DateTime.h"

namespace base {

// What the system says of its time zone, in the terms of the Windows call: a result telling which
// bias is in force, and the biases in minutes (UTC minus local time).
struct TTimeZoneInformation {
    enum TResult { Invalid = -1, Unknown = 0, Standard = 1, Daylight = 2 };
    TResult Result = Unknown;
    int Bias = 0;
    int StandardBias = 0;
    int DaylightBias = 0;
    std::string ErrorText;  // the system's message, when Result is Invalid
};

// The bias in force: zone bias plus the daylight or standard bias, or the zone bias alone when the
// zone has no daylight-saving rules; nothing for any other answer.
std::optional<int> BiasInForce(const TTimeZoneInformation& tzi);

// Why the system refused to set the clock.
enum class TClockRefusal {
    Refused,        // for no reason told apart
    AutomaticSync,  // the system keeps the clock synchronised itself and takes no setting
    NotAuthorized,  // the system refused the permission (denied, or the password question cancelled)
    NoPrivilege,    // the process lacks the system-time privilege: an administrator's would have it
    NoService,      // no service that sets the clock for this program on this system
};

class TClock {
public:
    virtual ~TClock() = default;
    virtual TSystemTime UtcNow() = 0;
    virtual TSystemTime LocalNow() = 0;
    // The same wall clock as UtcNow, in microseconds since 1970-01-01 00:00 UTC, as finely as the
    // system reads it: the time of a trigger.
    virtual int64_t UnixUsNow() { return UnixMsFromSystemTime(UtcNow()) * 1000; }
    // A clock that no setting moves, in microseconds from some start: how old an input event is,
    // from the display server's stamp on it.
    virtual int64_t MonotonicUsNow();
    virtual TTimeZoneInformation TimeZone() = 0;
    // Sets the local wall-clock time; false when the system refuses.
    virtual bool SetLocalTime(const TSystemTime& local) = 0;
    // Moves the clock by `usec` through the system's time service, for when SetLocalTime is refused
    // for want of the right; false when there is no such way or it is refused too.
    virtual bool SetTimeRelative(int64_t usec) {
        (void)usec;
        return false;
    }
    // Why the last setting that returned false was refused.
    virtual TClockRefusal LastRefusal() const { return TClockRefusal::Refused; }
};

// The operating system's clock.
TClock& SystemClock();

}  // namespace base
