// The desktop's real-time kit asked for a serial thread's priority, against a stand-in kit and
// against the real one, each on a bus of the test's own: never the machine's system bus.
#include "serial/RealtimeKit.h"

#include <grp.h>
#include <sched.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>
#include <utility>

#include "serial/ThreadPriority.h"
#include "tests/base/PrivateBus.h"
#include "tests/serial/PrivateKit.h"

using serial::AskRealtimeKit;
using serial::TKitGrant;
using serial::TKitRequest;

namespace {

class RealtimeKitTest : public testing::Test {
protected:
    RealtimeKitTest() {
        request.ThreadId = 4242;
        request.Priority = 10;
        request.NiceLevel = -20;
        request.SetRtTimeLimit = [this](uint64_t usec) {
            std::lock_guard<std::mutex> g(lock);
            said.push_back("RLIMIT_RTTIME " + std::to_string(usec));
            return true;
        };
    }
    // The kit: real time up to priority 5, RLIMIT_RTTIME up to 200 ms, nice down to -15.
    std::unique_ptr<testing_support::TStandInService> StartKit() {
        return std::make_unique<testing_support::TStandInService>(
            bus.Address(), "org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1",
            "<node><interface name='org.freedesktop.RealtimeKit1'>"
            "<method name='MakeThreadRealtime'><arg type='t' direction='in'/><arg type='u' direction='in'/></method>"
            "<method name='MakeThreadHighPriority'><arg type='t' direction='in'/><arg type='i' direction='in'/></method>"
            "<property name='MaxRealtimePriority' type='i' access='read'/>"
            "<property name='MinNiceLevel' type='i' access='read'/>"
            "<property name='RTTimeUSecMax' type='x' access='read'/></interface></node>",
            [this](const std::string& method, GVariant* params, std::string& refusal) -> GVariant* {
                guint64 thread = 0;
                std::string call = method;
                if (method == "MakeThreadRealtime") {
                    guint32 priority = 0;
                    g_variant_get(params, "(tu)", &thread, &priority);
                    call += " " + std::to_string(thread) + " " + std::to_string(priority);
                } else {
                    gint32 nice = 0;
                    g_variant_get(params, "(ti)", &thread, &nice);
                    call += " " + std::to_string(thread) + " " + std::to_string(nice);
                }
                std::lock_guard<std::mutex> g(lock);
                said.push_back(call);
                if (refused.count(method)) refusal = "org.freedesktop.DBus.Error.AccessDenied";
                if (silent) std::this_thread::sleep_for(std::chrono::milliseconds(1000));
                return nullptr;
            },
            [](const std::string& name) -> GVariant* {
                if (name == "MaxRealtimePriority") return g_variant_new_int32(5);
                if (name == "MinNiceLevel") return g_variant_new_int32(-15);
                if (name == "RTTimeUSecMax") return g_variant_new_int64(200000);
                return nullptr;
            });
    }
    std::vector<std::string> Said() {
        std::lock_guard<std::mutex> g(lock);
        return std::exchange(said, {});
    }

    testing_support::TPrivateBus bus;
    TKitRequest request;
    std::mutex lock;
    std::vector<std::string> said;
    std::set<std::string> refused;
    bool silent = false;
};

}  // namespace

TEST_F(RealtimeKitTest, real_time_within_the_kits_limits_after_rttime_is_set_then_high_priority_then_nothing) {
    ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon did not start";
    auto kit = StartKit();
    ASSERT_TRUE(kit->Owned());
    EXPECT_EQ(AskRealtimeKit(request, bus.Address()), TKitGrant::Realtime);
    EXPECT_EQ(Said(), (std::vector<std::string>{"RLIMIT_RTTIME 200000", "MakeThreadRealtime 4242 5"}));

    refused = {"MakeThreadRealtime"};
    EXPECT_EQ(AskRealtimeKit(request, bus.Address()), TKitGrant::HighPriority);
    EXPECT_EQ(Said(), (std::vector<std::string>{"RLIMIT_RTTIME 200000", "MakeThreadRealtime 4242 5",
                                                "MakeThreadHighPriority 4242 -15"}));

    refused = {"MakeThreadRealtime", "MakeThreadHighPriority"};
    EXPECT_EQ(AskRealtimeKit(request, bus.Address()), TKitGrant::None);

    // A process whose RLIMIT_RTTIME cannot be set is not asked to real time at all.
    refused.clear();
    Said();
    request.SetRtTimeLimit = [](uint64_t) { return false; };
    EXPECT_EQ(AskRealtimeKit(request, bus.Address()), TKitGrant::HighPriority);
    EXPECT_EQ(Said(), (std::vector<std::string>{"MakeThreadHighPriority 4242 -15"}));
}

TEST_F(RealtimeKitTest, no_kit_no_bus_or_a_kit_that_does_not_answer_grant_nothing) {
    ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon did not start";
    EXPECT_EQ(AskRealtimeKit(request, bus.Address()), TKitGrant::None);
    EXPECT_EQ(AskRealtimeKit(request, bus.NoBusAddress()), TKitGrant::None);
    auto kit = StartKit();
    silent = true;  // answers only after a second: the request has given up by then
    EXPECT_EQ(AskRealtimeKit(request, bus.Address()), TKitGrant::None);
}

namespace {

// The ordinary user's side, in a copy of this program: no real-time priority of its own
// (RLIMIT_RTPRIO 0), no capabilities. A serial thread asks as the program's do and goes on; the
// copy exits 0 when that thread comes to run in real time at the priority it asked for.
[[noreturn]] void RunAsOrdinaryUser() {
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_RTPRIO, &none) != 0 || setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
        _exit(3);
    int policy = -1;
    sched_param param{};
    std::thread serialThread([&] {
        serial::RunAheadOfOrdinaryPrograms();
        for (int i = 0; i < 100; ++i) {  // the kernel's word, not the thread library's copy
            policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
            sched_getparam(0, &param);
            if (policy != SCHED_OTHER) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    serialThread.join();
    std::printf("policy %d, priority %d\n", policy, param.sched_priority);
    std::fflush(stdout);
    _exit((policy == SCHED_RR || policy == SCHED_FIFO) && param.sched_priority == 10 ? 0 : 1);
}

}  // namespace

// The real rtkit-daemon decides what it grants by its own rules (the caller's user and process,
// RLIMIT_RTTIME set and within its maximum, the priority within its maximum, the argument types):
// a stand-in says only what the test expects.
TEST(RealtimeKitDaemonTest, an_ordinary_users_serial_thread_runs_in_real_time_by_the_kits_grant) {
    if (std::getenv("TEMPIX_KIT_USER_SIDE")) RunAsOrdinaryUser();
    if (geteuid() != 0) GTEST_SKIP() << "starting the kit and becoming an ordinary user need root";
    testing_support::TPrivateRealtimeKit kit(TEMPIX_PRIVATE_KIT);
    if (kit.Address().empty()) GTEST_SKIP() << "no rtkit-daemon to start here";
    const std::string bus = "DBUS_SYSTEM_BUS_ADDRESS=" + kit.Address();
    char* const argv[] = {const_cast<char*>("serial_tests"),
                          const_cast<char*>("--gtest_filter=RealtimeKitDaemonTest.*"), nullptr};
    char* const envp[] = {const_cast<char*>("TEMPIX_KIT_USER_SIDE=1"), const_cast<char*>(bus.c_str()), nullptr};
    const pid_t child = fork();
    if (child == 0) {
        execve("/proc/self/exe", argv, envp);
        _exit(127);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    if (!testing_support::TPrivateRealtimeKit::WaitFor(child, 30, &status)) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        FAIL() << "the ordinary user's side did not end";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
