// The USB serial adapters users plug in, each family emulated with umockdev (in a program run under
// umockdev-wrapper): the sysfs tree its Linux driver makes, and a pseudo-terminal as its device
// node with the terminal calls passed through. Its line calls are answered as that driver answers
// them by a TScriptedLines with the family's profile.
#pragma once

#include <umockdev.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include "serial/PortAdapter.h"
#include "tests/serial/ScriptedLines.h"

namespace testing_support {

using serial::TAdapterFamily;

struct TFamily {
    const char* Driver;   // the tty's driver
    const char* Ids[2];   // idVendor, idProduct
    const char* Maker;
    const char* Product;
    bool CanWait, HasCounters, CountsCts;
    TAdapterFamily Family;
    const char* Name;     // as the window shows it
};

inline const TFamily kFamilies[] = {
    {"ftdi_sio", {"0403", "6001"}, "FTDI", "FT232R USB UART", true, true, true, TAdapterFamily::Ftdi, "FTDI FT232R USB UART"},
    {"pl2303", {"067b", "2303"}, "Prolific Technology Inc.", "USB-Serial Controller", true, false, false,
     TAdapterFamily::Pl2303, "Prolific Technology Inc. USB-Serial Controller"},
    {"ch341", {"1a86", "7523"}, "", "USB Serial", true, false, false, TAdapterFamily::Ch34x, "USB Serial"},
    {"cp210x", {"10c4", "ea60"}, "Silicon Labs", "CP2102 USB to UART Bridge Controller", false, true, false,
     TAdapterFamily::Cp210x, "Silicon Labs CP2102 USB to UART Bridge Controller"},
    {"cdc_acm", {"2341", "0043"}, "", "", false, false, false, TAdapterFamily::CdcAcm, "USB 2341:0043"},
};

inline void PrintTo(const TFamily& f, std::ostream* os) { *os << f.Driver; }

// The device a driver of the family makes: the USB device, its interface, for a USB serial driver
// its port, and the tty with its node (ttyUSB0; ttyACM0 for the modem class).
inline std::string SysfsTree(const TFamily& f, std::string& node) {
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
inline gboolean PassThrough(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer) {
    int err = 0;
    const int r = umockdev_ioctl_client_execute(client, &err, nullptr);
    umockdev_ioctl_client_complete(client, r, err);
    return TRUE;
}

// True in a program run under umockdev-wrapper.
inline bool UnderUmockdev() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "umockdev");
}

// A family's adapter plugged in for as long as this lives; Node() is its tty's name.
class TEmulatedAdapter {
public:
    explicit TEmulatedAdapter(const TFamily& f) {
        testbed_ = umockdev_testbed_new();
        const std::string tree = SysfsTree(f, node_);
        handler_ = UMOCKDEV_IOCTL_BASE(g_object_new(umockdev_ioctl_base_get_type(), nullptr));
        g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(PassThrough), nullptr);
        ok_ = umockdev_testbed_add_from_string(testbed_, tree.c_str(), nullptr) &&
              umockdev_testbed_attach_ioctl(testbed_, ("/dev/" + node_).c_str(), handler_, nullptr);
    }
    ~TEmulatedAdapter() {
        g_object_unref(handler_);
        g_object_unref(testbed_);
    }
    TEmulatedAdapter(const TEmulatedAdapter&) = delete;
    TEmulatedAdapter& operator=(const TEmulatedAdapter&) = delete;
    bool Ok() const { return ok_; }
    const std::string& Node() const { return node_; }

    // The family's way of answering the line calls.
    static void Profile(const TFamily& f, TScriptedLines& lines) {
        lines.canWait = f.CanWait;
        lines.hasCounters = f.HasCounters;
        lines.countsCts = f.CountsCts;
    }

private:
    UMockdevTestbed* testbed_;
    UMockdevIoctlBase* handler_;
    std::string node_;
    bool ok_ = false;
};

}  // namespace testing_support
