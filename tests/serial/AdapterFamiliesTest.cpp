// The USB serial adapters users plug in, each family emulated: the real driver and port component
// opened on each.
#include <linux/serial.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serial/CPort.h"
#include "serial/ComDriverPosix.h"
#include "serial/PortSelect.h"
#include "tests/serial/QueuePump.h"
#include "tests/serial/UmockdevAdapters.h"

using namespace serial;
using namespace testing_support;

namespace {

class AdapterFamiliesTest : public testing::TestWithParam<TFamily> {
protected:
    void SetUp() override {
        if (!UnderUmockdev()) GTEST_SKIP() << "runs under umockdev-wrapper";
        adapter.emplace(GetParam());
        ASSERT_TRUE(adapter->Ok());
        node = adapter->Node();
        TEmulatedAdapter::Profile(GetParam(), lines);
    }
    void TearDown() override {
        port.reset();
        driver.reset();
    }
    void Open() {
        driver = std::make_unique<TPosixComDriver>(lines.Ioctl());
        port = std::make_unique<TComPort>(*driver, ui);
        port->SetPort(node);
        port->OnCTSChange = [&](TCustomComPort& p, bool on) {
            if (on) runners.push_back(p.LineChangeTime());
        };
        port->OpenPort();
    }
    // A runner: CTS on, then off, each edge held 3 ms (the 1 ms polls see both).
    void Pulse() {
        for (bool on : {true, false}) {
            lines.SetCts(on);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    }

    std::optional<TEmulatedAdapter> adapter;
    std::string node;
    testing_support::TScriptedLines lines;
    base::TCallQueue ui;
    std::unique_ptr<TPosixComDriver> driver;
    std::unique_ptr<TComPort> port;
    std::vector<int64_t> runners;
};

}  // namespace

TEST_P(AdapterFamiliesTest, listed_named_and_each_runner_captured_by_its_own_time) {
    const TFamily& f = GetParam();
    EXPECT_EQ(SysfsPortNames("/sys/class/tty"), std::vector<std::string>{node});
    TPosixComDriver system;
    const TPortAdapter adapter = system.Describe(node);
    EXPECT_EQ(adapter.Family, f.Family);
    EXPECT_EQ(adapter.Name, f.Name);
    EXPECT_EQ(adapter.UsbSerial, "A50285BI");  // what a lost port's return is known by
    if (!ReportsCts(f.Family)) return;  // refused at Start: the window's test

    Open();
    ASSERT_TRUE(port->Connected());
    if (f.Family == TAdapterFamily::Ftdi) {
        EXPECT_TRUE(lines.serialFlags & ASYNC_LOW_LATENCY);
    }
    for (int runner = 0; runner < 3; ++runner) Pulse();
    int expected = 3;
    if (f.CanWait && !f.HasCounters) {
        // A runner whose off came before the watcher looked: the wake-up finds the line where it was.
        lines.ctsCount += 2;
        ++expected;
    }
    ASSERT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return static_cast<int>(runners.size()) == expected; }))
        << runners.size();
    for (size_t i = 1; i < runners.size(); ++i) EXPECT_LT(runners[i - 1], runners[i]) << i;
    port->ClosePort();
    EXPECT_EQ(lines.serialFlags, 0);  // the driver's own setting again
}

INSTANTIATE_TEST_SUITE_P(Families, AdapterFamiliesTest, testing::ValuesIn(kFamilies),
                         [](const testing::TestParamInfo<TFamily>& info) { return std::string(info.param.Driver); });
