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

std::string UsbSerialOfDevice(const std::string& devicePath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path node = fs::canonical(devicePath, ec);
    if (ec) return "";
    fs::path at = fs::canonical(fs::path("/sys/class/tty") / node.filename() / "device", ec);
    // Up from the tty to the USB device it belongs to: the one with a vendor id.
    for (int up = 0; !ec && up < 4 && at.has_relative_path(); ++up, at = at.parent_path())
        if (fs::exists(at / "idVendor", ec)) return FirstLine(at / "serial");
    return "";
}

TPortLister SystemPortLister() {
    return [] { return SysfsPortNames("/sys/class/tty"); };
}

}  // namespace serial
