// The POSIX clock binding in a real zone with daylight saving, "now" set by the test and the setting
// recorded: around both changes the clock moves by exactly what was asked.
#include "base/ClockPosix.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace base;

namespace {

class ClockPosixTest : public testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        oldTz_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "Europe/Warsaw", 1);
        tzset();
        clock_ = MakePosixClock({[this](timespec* ts) {
                                     ts->tv_sec = static_cast<time_t>(nowMs_ / 1000);
                                     ts->tv_nsec = static_cast<long>(nowMs_ % 1000) * 1000000L;
                                     return 0;
                                 },
                                 [this](const timespec* ts) {
                                     set_.push_back(int64_t(ts->tv_sec) * 1000 + ts->tv_nsec / 1000000);
                                     return 0;
                                 }});
    }
    void TearDown() override {
        if (oldTz_) setenv("TZ", oldTz_->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

    // Sets the clock to its own local reading plus the offset, as a synchronisation does.
    int64_t MovedBy(int64_t utcNowMs, int64_t offsetMs) {
        nowMs_ = utcNowMs;
        TSystemTime target = SystemTimeFromUnixMs(UnixMsFromSystemTime(clock_->LocalNow()) + offsetMs);
        set_.clear();
        EXPECT_TRUE(clock_->SetLocalTime(target));
        return set_.size() == 1 ? set_[0] - utcNowMs : INT64_MIN;
    }

    std::unique_ptr<TClock> clock_;
    int64_t nowMs_ = 0;
    std::vector<int64_t> set_;
    std::optional<std::string> oldTz_;
};

constexpr int64_t kAutumnRepeatedHour = 1792888200000;  // 2026-10-25 00:30 UTC, 02:30 CEST (first pass)
constexpr int64_t kAutumnSecondPass = 1792891800000;    // 01:30 UTC, 02:30 CET
constexpr int64_t kSpringAfterSkip = 1774747800000;     // 2026-03-29 01:30 UTC, 03:30 CEST

}  // namespace

TEST_F(ClockPosixTest, the_local_reading_follows_the_zone_around_both_changes) {
    nowMs_ = kAutumnRepeatedHour;
    EXPECT_EQ(clock_->LocalNow().Hour, 2);
    EXPECT_EQ(clock_->TimeZone().Bias, -120);
    nowMs_ = kAutumnSecondPass;
    EXPECT_EQ(clock_->LocalNow().Hour, 2);
    EXPECT_EQ(clock_->TimeZone().Bias, -60);
    nowMs_ = kSpringAfterSkip;
    EXPECT_EQ(clock_->LocalNow().Hour, 3);
}

TEST_F(ClockPosixTest, a_setting_moves_the_clock_by_the_offset_in_the_repeated_and_skipped_hours) {
    for (int64_t now : {kAutumnRepeatedHour, kAutumnSecondPass, kSpringAfterSkip}) {
        for (int64_t offset : {500LL, -500LL, -45 * 60000LL, 45 * 60000LL}) {
            EXPECT_EQ(MovedBy(now, offset), offset) << "at " << now << " by " << offset;
        }
    }
}
