// The USB serial adapters users plug in, each family emulated with umockdev (run under
// umockdev-wrapper): the sysfs tree its Linux driver makes, a pseudo-terminal as its device node
// with the terminal calls passed through, and the line calls answered as that driver answers them.
// The real driver and port component are opened on each.
#include <linux/serial.h>
#include <umockdev.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "serial/CPort.h"
#include "serial/ComDriverPosix.h"
#include "serial/PortSelect.h"
#include "tests/serial/QueuePump.h"
#include "tests/serial/ScriptedLines.h"

using namespace serial;

namespace {

struct TFamily {
    const char* Driver;   // the tty's driver
    const char* Ids[2];   // idVendor, idProduct
    const char* Maker;
    const char* Product;
    bool CanWait, HasCounters, CountsCts;
    TAdapterFamily Family;
    const char* Name;     // as the window shows it
};

const TFamily kFamilies[] = {
    {"ftdi_sio", {"0403", "6001"}, "FTDI", "FT232R USB UART", true, true, true, TAdapterFamily::Ftdi, "FTDI FT232R USB UART"},
    {"pl2303", {"067b", "2303"}, "Prolific Technology Inc.", "USB-Serial Controller", true, false, false,
     TAdapterFamily::Pl2303, "Prolific Technology Inc. USB-Serial Controller"},
    {"ch341", {"1a86", "7523"}, "", "USB Serial", true, false, false, TAdapterFamily::Ch34x, "USB Serial"},
    {"cp210x", {"10c4", "ea60"}, "Silicon Labs", "CP2102 USB to UART Bridge Controller", false, true, false,
     TAdapterFamily::Cp210x, "Silicon Labs CP2102 USB to UART Bridge Controller"},
    {"cdc_acm", {"2341", "0043"}, "", "", false, false, false, TAdapterFamily::CdcAcm, "USB 2341:0043"},
};

void PrintTo(const TFamily& f, std::ostream* os) { *os << f.Driver; }

// The device a driver of the family makes: the USB device, its interface, for a USB serial driver
// its port, and the tty with its node (ttyUSB0; ttyACM0 for the modem class).
std::string SysfsTree(const TFamily& f, std::string& node) {
    const bool acm = f.Family == TAdapterFamily::CdcAcm;
    node = acm ? "ttyACM0" : "ttyUSB0";
    const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/1-1", iface = usb + "/1-1:1.0";
    std::string tree = "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=" + f.Ids[0] +
                       "\nA: idProduct=" + f.Ids[1] + "\nA: serial=A50285BI\n";
    if (*f.Maker) tree += std::string("A: manufacturer=") + f.Maker + "\n";
    if (*f.Product) tree += std::string("A: product=") + f.Product + "\n";
    tree += "\nP: " + iface + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n";
    std::string tty;
    if (acm) {
        tree += std::string("L: driver=../../../../../../bus/usb/drivers/") + f.Driver + "\n";
        tty = "\nP: " + iface + "/tty/" + node + "\nL: device=../../../1-1:1.0\n";
    } else {
        tree += "\nP: " + iface + "/" + node + "\nE: SUBSYSTEM=usb-serial\nL: driver=../../../../../../../bus/usb-serial/drivers/" +
                f.Driver + "\n";
        tty = "\nP: " + iface + "/" + node + "/tty/" + node + "\nL: device=../../../" + node + "\n";
    }
    return tree + tty + "N: " + node + "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" + node + "\n";
}

// The terminal calls on the node reach the pseudo-terminal behind it.
gboolean PassThrough(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer) {
    int err = 0;
    const int r = umockdev_ioctl_client_execute(client, &err, nullptr);
    umockdev_ioctl_client_complete(client, r, err);
    return TRUE;
}

class AdapterFamiliesTest : public testing::TestWithParam<TFamily> {
protected:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        if (!preload || !std::strstr(preload, "umockdev")) GTEST_SKIP() << "runs under umockdev-wrapper";
        testbed = umockdev_testbed_new();
        const std::string tree = SysfsTree(GetParam(), node);
        ASSERT_TRUE(umockdev_testbed_add_from_string(testbed, tree.c_str(), nullptr)) << tree;
        handler = UMOCKDEV_IOCTL_BASE(g_object_new(umockdev_ioctl_base_get_type(), nullptr));
        g_signal_connect(handler, "handle-ioctl", G_CALLBACK(PassThrough), nullptr);
        ASSERT_TRUE(umockdev_testbed_attach_ioctl(testbed, ("/dev/" + node).c_str(), handler, nullptr));
        lines.canWait = GetParam().CanWait;
        lines.hasCounters = GetParam().HasCounters;
        lines.countsCts = GetParam().CountsCts;
    }
    void TearDown() override {
        port.reset();
        driver.reset();
        if (handler) g_object_unref(handler);
        if (testbed) g_object_unref(testbed);
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

    UMockdevTestbed* testbed = nullptr;
    UMockdevIoctlBase* handler = nullptr;
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
