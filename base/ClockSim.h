// A clock that tests drive by hand: it moves only when told and records every setting.
#pragma once

#include <vector>

#include "base/Clock.h"

namespace base {

// Records what the system's time service was asked to do, in microseconds; refuses by default.
class TRelativeRecordingClock : public TClock {
public:
    std::vector<int64_t> RelativeSettings;
    bool RefuseRelative = true;
    TClockRefusal Refusal = TClockRefusal::Refused;
    bool SetTimeRelative(int64_t usec) override {
        RelativeSettings.push_back(usec);
        return !RefuseRelative;
    }
    TClockRefusal LastRefusal() const override { return Refusal; }
};

class TFakeClock final : public TRelativeRecordingClock {
public:
    int64_t UtcMs = 0;     // Unix milliseconds
    int64_t MonoUs = 0;    // the monotonic clock
    int LocalBias = 0;     // UTC minus local, minutes
    TTimeZoneInformation Zone;
    bool RefuseSetting = false;
    std::vector<TSystemTime> Settings;

    void Advance(int64_t ms) {
        UtcMs += ms;
        MonoUs += ms * 1000;
    }

    TSystemTime UtcNow() override { return SystemTimeFromUnixMs(UtcMs); }
    int64_t UnixUsNow() override { return UtcMs * 1000; }
    int64_t MonotonicUsNow() override { return MonoUs; }
    TSystemTime LocalNow() override { return SystemTimeFromUnixMs(UtcMs - LocalBias * 60000LL); }
    TTimeZoneInformation TimeZone() override { return Zone; }
    bool SetLocalTime(const TSystemTime& local) override {
        Settings.push_back(local);
        if (RefuseSetting) return false;
        UtcMs = UnixMsFromSystemTime(local) + LocalBias * 60000LL;
        return true;
    }
};

}  // namespace base

namespace base {

// The real clock for reading, with the setting recorded instead of done: lets tests run real
// exchanges without ever touching this machine's clock.
class TRecordingSetterClock final : public TRelativeRecordingClock {
public:
    std::vector<TSystemTime> Settings;
    bool RefuseSetting = false;
    TSystemTime UtcNow() override { return SystemClock().UtcNow(); }
    int64_t UnixUsNow() override { return SystemClock().UnixUsNow(); }
    TSystemTime LocalNow() override { return SystemClock().LocalNow(); }
    TTimeZoneInformation TimeZone() override { return SystemClock().TimeZone(); }
    bool SetLocalTime(const TSystemTime& local) override {
        Settings.push_back(local);
        return !RefuseSetting;
    }
};

}  // namespace base
