#include "serial/PortSelect.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/TextFile.h"
#include "serial/ComDriverSim.h"
#include "tests/TestDir.h"
#include "tests/serial/QueuePump.h"

using namespace serial;
using testing_support::Slurp;
using testing_support::Spit;

namespace {

void Tty(const std::string& root, const std::string& name, bool device, const std::string& type = "") {
    std::filesystem::create_directories(root + name);
    if (device) std::filesystem::create_directories(root + name + "/device");
    if (!type.empty()) Spit(root + name + "/type", type + "\n");
}

class PortSelectTest : public testing::Test {
protected:
    PortSelectTest() : line(driver.Line("COM1")), port(driver, ui) {}
    ~PortSelectTest() override { port.ClosePort(); }

    base::TCallQueue ui;
    TSimComDriver driver;
    TSimLine& line;
    TComPort port;
    std::vector<std::string> items;
    TComSelect select{items};
};

}  // namespace

TEST(PortList, sysfs_lists_uarts_as_com_and_device_backed_ttys_and_skips_the_rest) {
    testing_support::TTempDir dir;
    Tty(dir.Path(), "ttyS0", true, "0");  // a console slot without a UART
    Tty(dir.Path(), "ttyS1", true, "4");
    Tty(dir.Path(), "ttyS9", true, "4");
    Tty(dir.Path(), "ttyS3", true);  // no type: not a UART we know
    Tty(dir.Path(), "ttyUSB0", true);
    Tty(dir.Path(), "ttyACM0", true);
    Tty(dir.Path(), "tty0", false);
    Tty(dir.Path(), "console", false);
    std::vector<std::string> list = {"stale"};
    ListSerialPorts(list, [&] { return SysfsPortNames(dir.Path()); });
    EXPECT_EQ(list, (std::vector<std::string>{"COM10", "COM2", "ttyACM0", "ttyUSB0"}));

    try {
        SysfsPortNames(dir / "missing");
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.FailureCode, 23);
        EXPECT_EQ(e.SystemError, 2);
    }
    list = {"kept"};
    EXPECT_THROW(ListSerialPorts(list, [&] { return SysfsPortNames(dir / "missing"); }), EComPort);
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
}

TEST(PortList, sorted_without_regard_to_case) {
    std::vector<std::string> names = {"COM2", "com10", "COM1", "ttyUSB0", "TTYACM1"};
    SortPortNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "com10", "COM2", "TTYACM1", "ttyUSB0"}));
}

TEST_F(PortSelectTest, item_lists_and_reading_the_port_back) {
    select.FillItems(cpBaudRate);
    ASSERT_EQ(items.size(), 16u);
    EXPECT_EQ(items.front(), "Custom");
    EXPECT_EQ(items.back(), "256000");
    EXPECT_EQ(select.ReadFromPort(), TComSelect::kNoAnswer);  // no port: the selection stays
    select.ComPort = &port;
    EXPECT_EQ(select.ReadFromPort(), 7);  // "9600"
    select.FillItems(cpStopBits);
    EXPECT_EQ(items, (std::vector<std::string>{"1", "1.5", "2"}));
    select.FillItems(cpFlowControl);
    EXPECT_EQ(items, (std::vector<std::string>{"Hardware", "Software", "None", "Custom"}));
    EXPECT_EQ(select.ReadFromPort(), 2);  // a new port has no flow control
    select.FillItems(cpNone);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(select.ReadFromPort(), TComSelect::kNoAnswer);

    select.Lister = [] { return std::vector<std::string>{"COM2", "COM10"}; };
    select.FillItems(cpPort);
    EXPECT_EQ(select.ReadFromPort(), -1);  // COM1 is not listed
    port.SetPort("com2");
    EXPECT_EQ(select.ReadFromPort(), 1);
    EXPECT_EQ(select.PortName, "COM2");
    select.FillItems(cpParity);
    EXPECT_EQ(select.IndexOf("none"), 0);
    EXPECT_EQ(select.IndexOf(" None"), -1);
}

TEST_F(PortSelectTest, a_picked_text_is_applied_only_with_auto_apply) {
    select.ComPort = &port;
    select.FillItems(cpBaudRate);
    select.TakeText("19200");
    EXPECT_EQ(select.BaudRate, br19200);
    EXPECT_EQ(port.BaudRate(), br9600);
    select.AutoApply = true;
    select.TakeText("19200");
    EXPECT_EQ(port.BaudRate(), br19200);
    select.FillItems(cpFlowControl);
    select.TakeText("hardware");
    EXPECT_EQ(port.FlowControl.FlowControl(), fcHardware);
    select.FillItems(cpParity);
    select.TakeText("Mark");
    EXPECT_EQ(port.Parity.Bits(), prMark);

    // A new name on an open port reopens it there; a name that cannot open leaves it closed.
    select.FillItems(cpPort);
    port.OpenPort();
    driver.Line("COM2");
    select.TakeText("COM2");
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Port(), "COM2");
    EXPECT_THROW(select.TakeText("COM9"), EComPort);
    EXPECT_FALSE(port.Connected());
}

TEST_F(PortSelectTest, led_follows_the_line_and_refuses_states_while_bound) {
    TComLedModel led;
    std::vector<TLedState> changes;
    led.OnChange = [&](TLedState s) { changes.push_back(s); };
    led.SetLedSignal(lsCTS);
    led.SetState(lsOn);  // no port: allowed, reported even when unchanged
    led.SetState(lsOn);
    EXPECT_EQ(changes, (std::vector<TLedState>{lsOn, lsOn}));
    led.SetState(lsOff);

    line.SetCTS(true);
    led.SetComPort(&port);
    EXPECT_EQ(led.State(), lsOff);  // a closed port leaves it as it is
    try {
        led.SetState(lsOn);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.FailureCode, 19);
        EXPECT_EQ(std::string(e.what()), "Cannot change led state if ComPort is selected");
    }
    port.OpenPort();
    EXPECT_EQ(led.State(), lsOn);  // lit at once by the open-time report
    port.ClosePort();
    EXPECT_EQ(led.State(), lsOff);

    port.OpenPort();
    TComLedModel late;
    late.SetLedSignal(lsCTS);
    late.SetComPort(&port);  // bound to an open port: takes the line now
    EXPECT_EQ(late.State(), lsOn);
    late.SetComPort(nullptr);
    EXPECT_EQ(late.State(), lsOff);
}

TEST_F(PortSelectTest, ring_lights_the_led_for_one_interval_per_burst) {
    TComLedModel led;
    std::vector<int> started;
    led.StartTimer = [&](int ms) { started.push_back(ms); };
    led.SetLedSignal(lsRing);
    led.RingDuration = 250;
    led.SetComPort(&port);
    port.OpenPort();
    line.Raise(EV_RING);
    EXPECT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return led.State() == lsOn; }, 200));
    line.Raise(EV_RING);
    testing_support::PumpQueueUntil(ui, [] { return false; }, 10);
    EXPECT_EQ(started, std::vector<int>{250});  // the second ring did not restart the interval
    led.TimerTick();
    EXPECT_EQ(led.State(), lsOff);
    EXPECT_FALSE(led.TimerRunning());
}

TEST(PortSelect, a_destroyed_port_is_forgotten) {
    TSimComDriver driver;
    driver.Line("COM1");
    base::TCallQueue ui;
    TComLedModel led;
    led.SetLedSignal(lsConn);
    {
        TComPort port(driver, ui);
        led.SetComPort(&port);
        port.OpenPort();
        EXPECT_EQ(led.State(), lsOn);
    }
    EXPECT_EQ(led.ComPort(), nullptr);
    EXPECT_EQ(led.State(), lsOff);
    led.SetState(lsOn);  // unbound again
}

TEST(PortSettingsFile, round_trip_exact_bytes_and_short_files) {
    testing_support::TTempDir dir;
    const std::string path = dir / "usercom.dat";
    WritePortSettings(path, {"COM1", "9600", "8", "Hardware", "None", "1"});
    EXPECT_EQ(Slurp(path), "COM1\r\n9600\r\n8\r\nHardware\r\nNone\r\n1\r\n");
    EXPECT_EQ(ReadPortSettings(path), (TPortSettingsLines{"COM1", "9600", "8", "Hardware", "None", "1"}));
    WritePortSettings(path, {"", "19200", "7", "", "Odd", "2"});
    EXPECT_EQ(Slurp(path), "\r\n19200\r\n7\r\n\r\nOdd\r\n2\r\n");

    Spit(path, "COM3\r\n4800\r\n6");  // three lines, the last without its end
    EXPECT_EQ(ReadPortSettings(path), (TPortSettingsLines{"COM3", "4800", "6", "", "", ""}));
    Spit(path, "a\nb\n");  // bare LF too
    EXPECT_EQ(ReadPortSettings(path), (TPortSettingsLines{"a", "b", "", "", "", ""}));
    EXPECT_THROW(ReadPortSettings(dir / "none.dat"), base::EInOutError);
}
