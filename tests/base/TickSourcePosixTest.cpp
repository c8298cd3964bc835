// The wall-clock tick: the real timerfd source ticks in the default main context, and a setting
// of the clock (scripted kernel answers) re-arms it from the new time and still gives the tick.
#include "base/TickSourcePosix.h"

#include <glib.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <vector>

#include <gtest/gtest.h>

using base::TTickSource;

TEST(TickSourcePosixTest, the_real_timer_ticks_in_the_default_main_context) {
    int ticks = 0;
    TTickSource source([&] { ++ticks; });
    ASSERT_TRUE(source.Start(1));
    gint64 end = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    while (ticks < 50 && g_get_monotonic_time() < end) g_main_context_iteration(nullptr, TRUE);
    EXPECT_GE(ticks, 50);
    source.Stop();
    int stopped = ticks;
    for (int i = 0; i < 20; ++i) g_main_context_iteration(nullptr, FALSE);
    EXPECT_EQ(ticks, stopped);
}

namespace {

// A timerfd played by an eventfd: the test wakes it and scripts what the read says.
struct TScriptedTimer {
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    timespec now{};
    std::deque<int> reads;  // 0: one expiration; else the errno of a failing read
    std::vector<std::pair<int, itimerspec>> armed;

    base::TTimerFdCalls Calls() {
        return {[this] { return fd; },
                [this](int, int flags, const itimerspec* setting) {
                    armed.emplace_back(flags, *setting);
                    return 0;
                },
                [this](int f, uint64_t* count) -> ssize_t {
                    uint64_t v;
                    (void)!::read(f, &v, sizeof v);
                    int err = reads.empty() ? 0 : reads.front();
                    if (!reads.empty()) reads.pop_front();
                    if (err) {
                        errno = err;
                        return -1;
                    }
                    *count = 1;
                    return 8;
                },
                [this](timespec* ts) {
                    *ts = now;
                    return 0;
                },
                [](int) {}};
    }
    void Wake() {
        uint64_t one = 1;
        (void)!::write(fd, &one, sizeof one);
        for (int i = 0; i < 5; ++i) g_main_context_iteration(nullptr, FALSE);
    }
    ~TScriptedTimer() { ::close(fd); }
};

}  // namespace

TEST(TickSourcePosixTest, a_clock_set_either_way_rearms_from_the_new_time_and_ticks_on) {
    TScriptedTimer timer;
    timer.now = {1000, 400000};  // 1000.0004 s
    int ticks = 0;
    TTickSource source([&] { ++ticks; }, timer.Calls());
    ASSERT_TRUE(source.Start(1));
    ASSERT_EQ(timer.armed.size(), 1u);
    EXPECT_EQ(timer.armed[0].first, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET);
    EXPECT_EQ(timer.armed[0].second.it_value.tv_sec, 1000);
    EXPECT_EQ(timer.armed[0].second.it_value.tv_nsec, 1000000);  // the next whole millisecond
    EXPECT_EQ(timer.armed[0].second.it_interval.tv_nsec, 1000000);

    timer.Wake();
    EXPECT_EQ(ticks, 1);

    // Set back by about 500 s, then forward by an hour: each setting wakes the reader with
    // ECANCELED, is a tick, and re-arms at the next whole millisecond of the new time.
    const struct {
        timespec now;
        time_t sec;
        long nsec;
    } steps[] = {{{500, 250300000}, 500, 251000000}, {{4100, 999999999}, 4101, 0}};
    for (const auto& step : steps) {
        timer.now = step.now;
        timer.reads.push_back(ECANCELED);
        timer.Wake();
        ASSERT_EQ(timer.armed.size(), static_cast<size_t>(ticks));  // one arming per tick: a tick came
        EXPECT_EQ(timer.armed.back().second.it_value.tv_sec, step.sec);
        EXPECT_EQ(timer.armed.back().second.it_value.tv_nsec, step.nsec);
    }
    EXPECT_EQ(ticks, 3);

    timer.reads.push_back(EAGAIN);  // woken for nothing: no tick
    timer.Wake();
    EXPECT_EQ(ticks, 3);
}
