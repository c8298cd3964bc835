// The clock-setting request to timedated, against a stand-in service on a private bus that the test
// starts: never the machine's own timedated.
#include "base/TimeDateDBus.h"

#include <gtest/gtest.h>

#include "tests/base/PrivateBus.h"

using testing_support::TPrivateBus;
using testing_support::TStandInTimedated;

TEST(TimeDateDBus, the_service_gets_the_relative_time_and_its_refusal_is_false) {
    TPrivateBus bus;
    ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon did not start";
    std::string error;
    // A bus without timedated.
    EXPECT_FALSE(base::TimedatedSetTimeRelative(1000, bus.Address(), &error));
    EXPECT_NE(error.find("timedate1"), std::string::npos) << error;

    TStandInTimedated service(bus.Address());
    ASSERT_TRUE(service.Owned());
    EXPECT_TRUE(base::TimedatedSetTimeRelative(-4000, bus.Address()));
    {
        std::lock_guard<std::mutex> g(service.lock_);
        ASSERT_EQ(service.Calls.size(), 1u);
        EXPECT_EQ(service.Calls[0], std::make_tuple(int64_t{-4000}, true, true));
    }
    service.Refuse("org.freedesktop.timedate1.AutomaticTimeSyncEnabled");
    EXPECT_FALSE(base::TimedatedSetTimeRelative(250000, bus.Address(), &error));
    EXPECT_NE(error.find("AutomaticTimeSyncEnabled"), std::string::npos) << error;
    service.Refuse("org.freedesktop.DBus.Error.AccessDenied");
    EXPECT_FALSE(base::TimedatedSetTimeRelative(250000, bus.Address()));
}

TEST(TimeDateDBus, no_bus_is_false) {
    TPrivateBus bus;
    std::string error;
    EXPECT_FALSE(base::TimedatedSetTimeRelative(1000, bus.NoBusAddress(), &error));
    EXPECT_FALSE(error.empty());
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/x", 1);
    EXPECT_EQ(base::SystemBusAddress(), "unix:path=/x");
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    EXPECT_EQ(base::SystemBusAddress(), "unix:path=/run/dbus/system_bus_socket");
}
