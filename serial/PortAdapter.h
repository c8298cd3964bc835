// Which adapter a serial port is: the family of its driver, which decides how its CTS line can be
// read, and the name the system gives it, which users know it by.
#pragma once

#include <string>

namespace serial {

enum class TAdapterFamily {
    Unknown,  // a driver we do not know: read the way it answers
    Uart,     // a serial port on the board or a card (serial8250, serial.sys)
    Ftdi,     // FT232 and kin: line waits and edge counters, changes sent at once
    Pl2303,   // Prolific: line waits, no counters, the lines polled by the chip every millisecond
    Ch34x,    // WCH CH340/CH341: as the PL2303
    Cp210x,   // Silicon Labs: no line waits; the lines read on request only
    CdcAcm,   // a modem-class device (boards, CH343/CH9102): no CTS at all
};

struct TPortAdapter {
    TAdapterFamily Family = TAdapterFamily::Unknown;
    std::string Name;    // "FT232R USB UART", "USB-SERIAL CH340 (COM5)"; "" when the system names none
    int LatencyMs = -1;  // an FTDI adapter's latency timer where the system keeps it (Windows), else -1
    std::string UsbSerial;  // the USB serial number, where the system tells it (Linux); "" for none
};

// The family of a Linux driver's name (/sys/class/tty/NAME/device/driver) and of a Windows
// device's service (SetupAPI's SPDRP_SERVICE).
TAdapterFamily FamilyOfLinuxDriver(const std::string& driver);
TAdapterFamily FamilyOfWindowsService(const std::string& service);

// False for the adapters whose driver never reports the CTS line: nothing can be captured from them.
inline bool ReportsCts(TAdapterFamily f) { return f != TAdapterFamily::CdcAcm; }

// The latency above which an FTDI adapter delays its line changes noticeably.
constexpr int kFtdiLatencyMaxMs = 2;

}  // namespace serial
