// The system's serial ports on Linux: the tty class in sysfs.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "serial/ComDriverPosix.h"
#include "serial/PortSelect.h"

namespace serial {

namespace {

std::string FirstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

std::vector<std::string> SysfsPortNames(const std::string& ttyClassDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(ttyClassDir, ec);
    if (ec) throw EComPort(23, WindowsErrorOfErrno(ec.value()));
    std::vector<std::string> names;
    for (const fs::directory_entry& e : it) {
        const std::string name = e.path().filename().string();
        if (!fs::exists(e.path() / "device", ec)) continue;  // consoles, ptys: no hardware behind them
        if (name.rfind("ttyS", 0) == 0 && name.size() > 4 &&
            std::all_of(name.begin() + 4, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            std::string type = FirstLine(e.path() / "type");
            if (type.empty() || type == "0") continue;  // a ttyS slot without a UART
            names.push_back("COM" + std::to_string(std::stoi(name.substr(4)) + 1));
            continue;
        }
        names.push_back(name);
    }
    return names;
}

namespace {

// Where a link leads (links of links followed), as a path; the path itself when it is no link.
// sysfs and /dev links are read one by one, not through realpath, which a device emulator may not
// serve alike.
std::filesystem::path Resolved(std::filesystem::path at) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (int i = 0; i < 8 && fs::is_symlink(at, ec); ++i) {
        const fs::path to = fs::read_symlink(at, ec);
        if (ec) return {};
        at = (to.is_absolute() ? to : at.parent_path() / to).lexically_normal();
    }
    return at;
}

// The tty's device in sysfs; empty when the node has none. The node is known by its name in the
// tty class, else by where its link leads (/dev/serial/by-id/...).
std::filesystem::path TtyDevice(const std::string& devicePath) {
    namespace fs = std::filesystem;
    const fs::path ttys("/sys/class/tty");
    std::error_code ec;
    fs::path name = fs::path(devicePath).filename();
    if (!fs::exists(ttys / name, ec)) name = Resolved(devicePath).filename();
    if (name.empty() || !fs::exists(ttys / name / "device", ec)) return {};
    return Resolved(Resolved(ttys / name) / "device");
}

// Up from the tty's device to the USB device it belongs to: the one with a vendor id.
std::filesystem::path UsbDeviceOf(std::filesystem::path at) {
    std::error_code ec;
    for (int up = 0; !at.empty() && up < 4 && at.has_relative_path(); ++up, at = at.parent_path())
        if (std::filesystem::exists(at / "idVendor", ec)) return at;
    return {};
}

}  // namespace

std::string UsbSerialOfDevice(const std::string& devicePath) {
    const std::filesystem::path usb = UsbDeviceOf(TtyDevice(devicePath));
    return usb.empty() ? "" : FirstLine(usb / "serial");
}

TPortAdapter AdapterOfDevice(const std::string& devicePath) {
    namespace fs = std::filesystem;
    TPortAdapter adapter;
    const fs::path device = TtyDevice(devicePath);
    if (device.empty()) return adapter;
    std::error_code ec;
    const fs::path driver = fs::read_symlink(device / "driver", ec);
    if (!ec) adapter.Family = FamilyOfLinuxDriver(driver.filename().string());
    const fs::path usb = UsbDeviceOf(device);
    if (usb.empty()) return adapter;
    const std::string maker = FirstLine(usb / "manufacturer"), product = FirstLine(usb / "product");
    if (product.empty()) adapter.Name = maker;
    else if (maker.empty() || product.find(maker) != std::string::npos) adapter.Name = product;
    else adapter.Name = maker + " " + product;
    adapter.UsbSerial = FirstLine(usb / "serial");
    if (adapter.Name.empty()) adapter.Name = "USB " + FirstLine(usb / "idVendor") + ":" + FirstLine(usb / "idProduct");
    return adapter;
}

TPortLister SystemPortLister() {
    return [] { return SysfsPortNames("/sys/class/tty"); };
}

}  // namespace serial
