#include "serial/PortAdapter.h"

#include <algorithm>
#include <cctype>

namespace serial {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

TAdapterFamily FamilyOfLinuxDriver(const std::string& driver) {
    if (driver == "ftdi_sio") return TAdapterFamily::Ftdi;
    if (driver == "pl2303") return TAdapterFamily::Pl2303;
    if (driver == "ch341" || driver == "ch341-uart") return TAdapterFamily::Ch34x;
    if (driver == "cp210x") return TAdapterFamily::Cp210x;
    if (driver == "cdc_acm") return TAdapterFamily::CdcAcm;
    if (driver == "serial8250" || driver == "serial" || StartsWith(driver, "8250")) return TAdapterFamily::Uart;
    return TAdapterFamily::Unknown;
}

TAdapterFamily FamilyOfWindowsService(const std::string& service) {
    const std::string s = Lower(service);
    if (s == "usbser") return TAdapterFamily::CdcAcm;
    if (s == "ftdibus" || s == "ftser2k") return TAdapterFamily::Ftdi;
    if (StartsWith(s, "ser2pl")) return TAdapterFamily::Pl2303;
    if (StartsWith(s, "ch341ser")) return TAdapterFamily::Ch34x;
    if (s == "silabser") return TAdapterFamily::Cp210x;
    if (s == "serial") return TAdapterFamily::Uart;
    return TAdapterFamily::Unknown;
}

}  // namespace serial
