#include "timesync/IdSNTP.h"

#include <pthread.h>

#include <cmath>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

#include "base/ClockSim.h"
#include "tests/timesync/ChronyServer.h"
#include "tests/timesync/LoopbackStack.h"
#include "tests/timesync/UdpResponder.h"
#include "timesync/IdException.h"

using namespace timesync;
using testing_support::TUdpResponder;

namespace {

constexpr double kDay = 86400.0;

// 2026-12-07 14:05:09.000 UTC, one hour ahead locally.
base::TFakeClock FakeClock() {
    base::TFakeClock c;
    c.UtcMs = 1796652309000LL;
    c.LocalBias = -60;
    c.Zone.Result = base::TTimeZoneInformation::Standard;
    c.Zone.Bias = -60;
    return c;
}

class IdSNTPTest : public testing::Test {
protected:
    void SetUp() override { testing_support::UseLoopbackStack(); }

    // One exchange with a scripted responder; the client waits `timeoutMs` at most.
    bool Sync(TUdpResponder::TScript script, int timeoutMs = 500) {
        TUdpResponder peer(std::move(script));
        sntp.SetHost("127.0.0.1");
        sntp.SetPort(peer.Port());
        sntp.SetReceiveTimeout(timeoutMs);
        sntp.SetActive(true);
        bool ok = sntp.SynchroniseClock();
        sntp.SetActive(false);
        return ok;
    }

    base::TFakeClock clock = FakeClock();
    TIdSNTP sntp{clock};
};

}  // namespace

TEST(IdSNTPConversionTest, local_time_to_ntp_words) {
    double bias = -60 / 1440.0;
    // 2026-12-07 15:05:09.5 local = 14:05:09.5 UTC = 0xEEC13B95 seconds since 1900, half a second.
    double local = base::DayCountFromSystemTime(base::SystemTimeFromUnixMs(1796652309500LL + 3600000));
    TNtpTimestamp ts = LocalTimeToNtp(local, bias);
    EXPECT_EQ(ts.Seconds, 0xEEC13B95u);
    EXPECT_NEAR(static_cast<double>(ts.Fraction), 2147483648.0, 4096.0);
    EXPECT_EQ(SwapBytes32(0x11223344u), 0x44332211u);
}

TEST(IdSNTPConversionTest, era_edges_wrap_instead_of_going_back_to_1900) {
    auto utc = [](int64_t unixMs) { return base::DayCountFromSystemTime(base::SystemTimeFromUnixMs(unixMs)); };
    const int64_t wrap = 2085978496000LL;  // 2036-02-07 06:28:16 UTC
    EXPECT_EQ(LocalTimeToNtp(utc(wrap - 1000), 0).Seconds, 0xFFFFFFFFu);
    EXPECT_EQ(LocalTimeToNtp(utc(wrap), 0).Seconds, 0u);
    EXPECT_EQ(LocalTimeToNtp(utc(wrap + 1000), 0).Seconds, 1u);
    auto back = [](uint32_t s) { return base::UnixMsFromSystemTime(base::SystemTimeFromDayCount(NtpToLocalTime(s, 0, 0))); };
    EXPECT_EQ(back(0xFFFFFFFFu), wrap - 1000);
    EXPECT_EQ(back(0u), wrap);
    EXPECT_EQ(back(1u), wrap + 1000);
    EXPECT_EQ(back(0xEEC13B95u), 1796652309000LL);
}

TEST(IdSNTPConversionTest, fractions_are_cut_to_milliseconds_never_rounded) {
    auto ms = [](uint32_t frac) {
        double d = NtpToLocalTime(0xEEC13B95u, frac, 0);
        return base::UnixMsFromSystemTime(base::SystemTimeFromDayCount(d)) - 1796652309000LL;
    };
    EXPECT_EQ(ms(0x80000000u), 499);
    EXPECT_EQ(ms(0xFFFFFFFFu), 999);
    EXPECT_EQ(ms(static_cast<uint32_t>(0.9999 * 4294967296.0)), 999);
    EXPECT_EQ(ms(0), 0);
}

TEST(IdSNTPConversionTest, utc_bias_is_asked_anew_and_its_failure_raised) {
    base::TFakeClock clock = FakeClock();
    EXPECT_DOUBLE_EQ(UtcBias(clock), -60 / 1440.0);
    clock.Zone.Result = base::TTimeZoneInformation::Daylight;
    clock.Zone.DaylightBias = -60;
    EXPECT_DOUBLE_EQ(UtcBias(clock), -120 / 1440.0);
    clock.Zone.Result = base::TTimeZoneInformation::Invalid;
    clock.Zone.ErrorText = "no zone";
    EXPECT_THROW(UtcBias(clock), EIdException);
}

TEST_F(IdSNTPTest, server_ahead_sets_the_clock_forward_by_the_offset) {
    ASSERT_TRUE(Sync([](const std::string& req, const TUdpResponder::TSend& send) { send(TUdpResponder::Reply(req, 0.5), false); }));
    EXPECT_NEAR(sntp.ClockOffset * kDay, 0.5, 0.002);
    EXPECT_NEAR(sntp.RoundTrip * kDay, 0.0, 0.002);
    EXPECT_EQ(sntp.Stratum, 2);
    EXPECT_EQ(sntp.ReferenceSource, "1.2.3.4");
    ASSERT_EQ(clock.Settings.size(), 1u);
    // Local 15:05:09.000 when set, moved by half a second.
    EXPECT_EQ(base::LiveTimeText(clock.Settings[0], ":"), "15:05:09,500 UT");
}

TEST_F(IdSNTPTest, server_behind_gives_a_negative_offset) {
    ASSERT_TRUE(Sync([](const std::string& req, const TUdpResponder::TSend& send) { send(TUdpResponder::Reply(req, -1.25), false); }));
    EXPECT_NEAR(sntp.ClockOffset * kDay, -1.25, 0.002);
    EXPECT_EQ(base::LiveTimeText(clock.Settings.at(0), ":"), "15:05:07,750 UT");
}

TEST_F(IdSNTPTest, request_bytes_carry_a_random_tail_below_a_microsecond) {
    sntp.Random = [] { return 0xABCDEFu; };
    std::string seen;
    Sync([&](const std::string& req, const TUdpResponder::TSend& send) {
        seen = req;
        send(TUdpResponder::Reply(req, 0), false);
    });
    ASSERT_EQ(seen.size(), 48u);
    EXPECT_EQ(seen[0], 0x1B);
    EXPECT_EQ(seen.substr(1, 39), std::string(39, '\0'));
    EXPECT_EQ(TUdpResponder::Word(seen, 40), 0xEEC13B95u);
    EXPECT_EQ(TUdpResponder::Word(seen, 44), 0xDEFu);
}

TEST_F(IdSNTPTest, stratum_rules_and_reference_source) {
    auto reply = [](int stratum, std::array<uint8_t, 4> id) {
        return [=](const std::string& req, const TUdpResponder::TSend& send) {
            send(TUdpResponder::Reply(req, 0, stratum, 0, id), false);
        };
    };
    EXPECT_TRUE(Sync(reply(1, {'G', 'P', 'S', 0})));
    EXPECT_EQ(sntp.ReferenceSource, std::string("GPS\0", 4));
    EXPECT_TRUE(Sync(reply(1, {0xA3, 'O', 0x8C, 0x81})));  // code page bytes show as their letters
    EXPECT_EQ(sntp.ReferenceSource, "ŁOŚ\xEF\xBF\xBD");
    EXPECT_TRUE(Sync(reply(15, {9, 8, 7, 6})));
    EXPECT_EQ(sntp.ReferenceSource, "9.8.7.6");
    EXPECT_FALSE(Sync(reply(16, {1, 1, 1, 1})));
    EXPECT_EQ(sntp.Stratum, 16);
    EXPECT_EQ(sntp.ReferenceSource, "1.1.1.1");
    EXPECT_FALSE(Sync(reply(0, {'R', 'A', 'T', 'E'})));
    EXPECT_EQ(sntp.Stratum, 0);
    EXPECT_EQ(sntp.ReferenceSource, "1.1.1.1");  // kept at stratum 0
    EXPECT_EQ(clock.Settings.size(), 3u);
}

TEST_F(IdSNTPTest, unsynchronised_or_zero_transmit_replies_are_unusable_but_update_the_fields) {
    EXPECT_FALSE(Sync([](const std::string& req, const TUdpResponder::TSend& send) {
        send(TUdpResponder::Reply(req, 2.0, 2, 3), false);
    }));
    EXPECT_NEAR(sntp.ClockOffset * kDay, 2.0, 0.002);
    EXPECT_FALSE(Sync([](const std::string& req, const TUdpResponder::TSend& send) {
        std::string r = TUdpResponder::Reply(req, 0);
        r.replace(40, 8, std::string(8, '\0'));
        send(r, false);
    }));
    EXPECT_TRUE(clock.Settings.empty());
}

TEST_F(IdSNTPTest, short_missing_late_and_foreign_replies_leave_the_fields_alone) {
    ASSERT_TRUE(Sync([](const std::string& req, const TUdpResponder::TSend& send) { send(TUdpResponder::Reply(req, 0.25), false); }));
    const double offset = sntp.ClockOffset, t3 = sntp.TransmitTime;
    EXPECT_FALSE(Sync([](const std::string& req, const TUdpResponder::TSend& send) {
        send(TUdpResponder::Reply(req, 3).substr(0, 47), false);
    }));
    EXPECT_FALSE(Sync([](const std::string&, const TUdpResponder::TSend&) {}));
    EXPECT_FALSE(Sync([](const std::string& req, const TUdpResponder::TSend& send) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        send(TUdpResponder::Reply(req, 3), false);
    }, 200));
    EXPECT_FALSE(Sync([](const std::string& req, const TUdpResponder::TSend& send) {
        send(TUdpResponder::Reply(req, 3), true);  // from another port
        std::string forged = TUdpResponder::Reply(req, 3);
        forged[31] ^= 1;  // originate that is not ours
        send(forged, false);
    }));
    EXPECT_EQ(sntp.ClockOffset, offset);
    EXPECT_EQ(sntp.TransmitTime, t3);
    EXPECT_EQ(clock.Settings.size(), 1u);
}

TEST_F(IdSNTPTest, a_forgery_first_does_not_hide_the_real_answer) {
    ASSERT_TRUE(Sync([](const std::string& req, const TUdpResponder::TSend& send) {
        send(TUdpResponder::Reply(req, 100), true);
        std::string forged = TUdpResponder::Reply(req, 100);
        forged[28] ^= 0x40;
        send(forged, false);
        send(TUdpResponder::Reply(req, 0.125), false);
    }));
    EXPECT_NEAR(sntp.ClockOffset * kDay, 0.125, 0.002);
}

TEST_F(IdSNTPTest, foreign_empty_and_oversized_datagrams_do_not_end_the_exchange) {
    ASSERT_TRUE(Sync([](const std::string& req, const TUdpResponder::TSend& send) {
        send("", true);
        send(TUdpResponder::Reply(req, 100) + std::string(21, 'x'), true);
        send("", false);  // short, from the server itself: no answer either
        send(TUdpResponder::Reply(req, 0.5), false);
    }));
    ASSERT_EQ(clock.Settings.size(), 1u);
    EXPECT_NEAR(sntp.ClockOffset * kDay, 0.5, 0.002);
}

TEST_F(IdSNTPTest, a_short_form_address_and_a_signal_during_the_wait_still_reach_the_reply) {
    struct sigaction quiet {}, old{};
    quiet.sa_handler = [](int) {};
    sigaction(SIGUSR1, &quiet, &old);  // no SA_RESTART: select() fails with EINTR
    std::thread interrupter([main = pthread_self()] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pthread_kill(main, SIGUSR1);
    });
    TUdpResponder peer([](const std::string& req, const TUdpResponder::TSend& send) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        send(TUdpResponder::Reply(req, 0.25), false);
    });
    sntp.SetHost("127.1");
    sntp.SetPort(peer.Port());
    sntp.SetReceiveTimeout(1500);
    sntp.SetActive(true);
    bool ok = sntp.SynchroniseClock();
    sntp.SetActive(false);
    interrupter.join();
    sigaction(SIGUSR1, &old, nullptr);
    EXPECT_TRUE(ok);
    EXPECT_NEAR(sntp.ClockOffset * kDay, 0.25, 0.002);
}

TEST(IdSNTPConversionTest, a_time_beyond_any_timestamp_is_refused) {
    EXPECT_THROW(LocalTimeToNtp(std::nan(""), 0), std::out_of_range);
    EXPECT_THROW(LocalTimeToNtp(HUGE_VAL, 0), std::out_of_range);
    EXPECT_THROW(LocalTimeToNtp(1.1e14, 0), std::out_of_range);
}

TEST_F(IdSNTPTest, no_reply_waits_the_whole_time_out) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Sync([](const std::string&, const TUdpResponder::TSend&) {}, 2500));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2400));
}

TEST_F(IdSNTPTest, oversized_reply_raises_10040) {
    try {
        Sync([](const std::string& req, const TUdpResponder::TSend& send) { send(TUdpResponder::Reply(req, 0) + std::string(20, 'x'), false); });
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.LastError, 10040);
    }
}

TEST_F(IdSNTPTest, a_refused_setting_asks_the_time_service_for_the_offset) {
    clock.RefuseSetting = true;
    auto reply = [](const std::string& req, const TUdpResponder::TSend& send) { send(TUdpResponder::Reply(req, 0.5), false); };
    EXPECT_FALSE(Sync(reply));  // refused there too
    EXPECT_EQ(clock.Settings.size(), 1u);
    ASSERT_EQ(clock.RelativeSettings.size(), 1u);
    EXPECT_NEAR(static_cast<double>(clock.RelativeSettings[0]), 500000.0, 2000.0);
    clock.RefuseRelative = false;
    EXPECT_TRUE(Sync(reply));
    EXPECT_EQ(clock.RelativeSettings.size(), 2u);
    EXPECT_FALSE(SetLocalClock(clock, -5.0));  // a date no clock takes
}

// Only ever as an unprivileged user: root's child drops to "nobody" first and gives up if it can't.
TEST(IdSNTPSystemClockTest, the_real_clock_refuses_an_unprivileged_setting) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        if (geteuid() == 0) _exit(2);
        base::TSystemTime t = base::SystemClock().LocalNow();
        _exit(base::SystemClock().SetLocalTime(t) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "could not drop to an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the clock setting was not refused";
}

TEST(IdSNTPChronyTest, full_exchange_against_a_local_chronyd) {
    testing_support::UseLoopbackStack();
    testing_support::TChronyServer server;
    ASSERT_TRUE(server.Ready()) << server.Log();
    base::TRecordingSetterClock clock;
    TIdSNTP sntp(clock);
    sntp.SetHost("LocalHost");
    sntp.SetPort(server.Port());
    sntp.SetReceiveTimeout(2500);
    sntp.SetActive(true);
    ASSERT_TRUE(sntp.SynchroniseClock());
    sntp.SetActive(false);
    EXPECT_EQ(sntp.Stratum, 8);
    EXPECT_LT(std::fabs(sntp.ClockOffset * kDay), 0.01);  // same clock on both sides
    EXPECT_GE(sntp.RoundTrip * kDay, -0.002);
    EXPECT_LT(sntp.RoundTrip * kDay, 0.1);
    EXPECT_EQ(clock.Settings.size(), 1u);
}
