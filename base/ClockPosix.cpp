#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/Clock.h"
#include "base/TimeDateDBus.h"

namespace base {

namespace {

int64_t RealtimeMs() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class TPosixClock final : public TClock {
public:
    TSystemTime UtcNow() override { return SystemTimeFromUnixMs(RealtimeMs()); }

    TSystemTime LocalNow() override {
        int64_t ms = RealtimeMs();
        time_t secs = static_cast<time_t>(ms / 1000);
        tm lt;
        if (!localtime_r(&secs, &lt)) return SystemTimeFromUnixMs(ms);
        return SystemTimeFromUnixMs(ms + static_cast<int64_t>(lt.tm_gmtoff) * 1000);
    }

    // POSIX knows the offset in force and whether it is daylight time; it is reported as the zone
    // bias with no extra standard or daylight bias, which gives the same bias in force.
    TTimeZoneInformation TimeZone() override {
        TTimeZoneInformation tzi;
        time_t now = time(nullptr);
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

    bool SetLocalTime(const TSystemTime& local) override {
        tm t{};
        t.tm_year = local.Year - 1900;
        t.tm_mon = local.Month - 1;
        t.tm_mday = local.Day;
        t.tm_hour = local.Hour;
        t.tm_min = local.Minute;
        t.tm_sec = local.Second;
        t.tm_isdst = -1;
        time_t secs = mktime(&t);
        if (secs == static_cast<time_t>(-1)) return false;
        timespec ts{secs, static_cast<long>(local.Milliseconds) * 1000000L};
        return clock_settime(CLOCK_REALTIME, &ts) == 0;
    }

    bool SetTimeRelative(int64_t usec) override { return TimedatedSetTimeRelative(usec, SystemBusAddress()); }
};

}  // namespace

TClock& SystemClock() {
    static TPosixClock clock;
    return clock;
}

}  // namespace base
