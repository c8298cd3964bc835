#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/ClockPosix.h"
#include "base/TimeDateDBus.h"

namespace base {

namespace {

// Floor division: a time before 1970 still splits into a second and its milliseconds.
int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// Local time minus UTC, in seconds, in force at the instant; 0 when the zone can't say.
long GmtOffsetAt(int64_t unixMs) {
    time_t secs = static_cast<time_t>(FloorDiv(unixMs, 1000));
    tm lt;
    return localtime_r(&secs, &lt) ? lt.tm_gmtoff : 0;
}

class TPosixClock final : public TClock {
public:
    explicit TPosixClock(TPosixClockCalls calls) : calls_(std::move(calls)) {}

    TSystemTime UtcNow() override { return SystemTimeFromUnixMs(RealtimeMs()); }

    int64_t UnixUsNow() override {
        timespec ts{};
        calls_.GetTime(&ts);
        return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
    }

    TSystemTime LocalNow() override {
        int64_t ms = RealtimeMs();
        return SystemTimeFromUnixMs(ms + static_cast<int64_t>(GmtOffsetAt(ms)) * 1000);
    }

    // POSIX knows the offset in force and whether it is daylight time; it is reported as the zone
    // bias with no extra standard or daylight bias, which gives the same bias in force.
    TTimeZoneInformation TimeZone() override {
        TTimeZoneInformation tzi;
        time_t now = static_cast<time_t>(FloorDiv(RealtimeMs(), 1000));
        tm lt;
        errno = 0;
        if (!localtime_r(&now, &lt)) {
            tzi.Result = TTimeZoneInformation::Invalid;
            tzi.ErrorText = std::strerror(errno ? errno : EOVERFLOW);
            return tzi;
        }
        tzi.Bias = static_cast<int>(-lt.tm_gmtoff / 60);
        tzi.Result = lt.tm_isdst > 0 ? TTimeZoneInformation::Daylight : TTimeZoneInformation::Standard;
        return tzi;
    }

    // The local time is turned back into UTC with the offset in force now, the one LocalNow read it
    // with, as Windows does. The zone's rules at the target would pick the wrong side of a repeated
    // hour, or no side of a skipped one, and move the clock by an hour more than asked.
    bool SetLocalTime(const TSystemTime& local) override {
        int64_t utcMs = UnixMsFromSystemTime(local) - static_cast<int64_t>(GmtOffsetAt(RealtimeMs())) * 1000;
        timespec ts{static_cast<time_t>(FloorDiv(utcMs, 1000)), static_cast<long>(utcMs - FloorDiv(utcMs, 1000) * 1000) * 1000000L};
        return calls_.SetTime(&ts) == 0;
    }

    bool SetTimeRelative(int64_t usec) override {
        return TimedatedSetTimeRelative(usec, SystemBusAddress(), nullptr, &refusal_);
    }
    TClockRefusal LastRefusal() const override { return refusal_; }

private:
    int64_t RealtimeMs() { return FloorDiv(UnixUsNow(), 1000); }

    TPosixClockCalls calls_;
    TClockRefusal refusal_ = TClockRefusal::Refused;
};

}  // namespace

std::unique_ptr<TClock> MakePosixClock(TPosixClockCalls calls) { return std::make_unique<TPosixClock>(std::move(calls)); }

TClock& SystemClock() {
    static TPosixClock clock({[](timespec* ts) { return clock_gettime(CLOCK_REALTIME, ts); },
                              [](const timespec* ts) { return clock_settime(CLOCK_REALTIME, ts); }});
    return clock;
}

}  // namespace base
