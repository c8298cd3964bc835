// The desktop's real-time kit asked for a serial thread's priority, against a stand-in kit on a bus
// of the test's own: never the machine's system bus.
#include "serial/RealtimeKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>
#include <utility>

#include "tests/base/PrivateBus.h"

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
