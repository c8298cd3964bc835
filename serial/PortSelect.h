// What the port controls know without a window: the system's port list, the selector's item lists
// and their round trip to a port's settings, and the LED's state bound to a port's line reports.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "serial/CPort.h"

namespace serial {

enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

// Names the system's serial ports, in any order; raises EComPort 23 when it cannot read them.
using TPortLister = std::function<std::vector<std::string>()>;

// Linux: the serial ports under a sysfs tty class folder: UARTs (ttyS entries with a known UART
// type, listed as COMn for ttyS(n-1)), and every other tty backed by a device (ttyUSB, ttyACM ...).
// Virtual consoles, ptys and ttyS entries without a UART are left out.
std::vector<std::string> SysfsPortNames(const std::string& ttyClassDir);
// Windows: the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM; a registry failure raises code 23.
std::vector<std::string> RegistryPortNames();
// The system's own: one of the two.
TPortLister SystemPortLister();

// Case-insensitive, locale-aware order: COM1, COM10, COM2.
void SortPortNames(std::vector<std::string>& names);
// Replaces `list` with the sorted names; `list` is left as it was when the lister fails.
void ListSerialPorts(std::vector<std::string>& list, const TPortLister& lister);

// The list logic of a setting selector, over the selector's own item list.
class TComSelect {
public:
    explicit TComSelect(std::vector<std::string>& items) : items_(items) {}

    std::string PortName;
    TBaudRate BaudRate = br9600;
    TDataBits DataBits = dbEight;
    TStopBits StopBits = sbOneStopBit;
    TParityBits Parity = prNone;
    TFlowControl FlowControl = fcHardware;
    TComProperty Kind = cpNone;
    TCustomComPort* ComPort = nullptr;
    bool AutoApply = false;
    TPortLister Lister;

    void FillItems(TComProperty kind);
    void TakeText(const std::string& text);
    void ApplyToPort();
    // The index of the item matching the port's value (which is then stored as the kind's value),
    // -1 when it is not listed, kNoAnswer without a port or for cpNone (the selection stays).
    static constexpr int kNoAnswer = -2;
    int ReadFromPort();
    // The index of the item equal to `text` ignoring letter case, -1 when none is.
    int IndexOf(const std::string& text) const;

private:
    std::vector<std::string>& items_;
};

enum TComLedSignal { lsConn, lsCTS, lsDSR, lsRLSD, lsRing, lsRx, lsTx };
enum TLedKind { lkRedLight, lkGreenLight, lkBlueLight, lkYellowLight, lkPurpleLight, lkBulb, lkCustom };
enum TLedState { lsOff, lsOn };

// The names of a kind's built-in pictures, on and off; empty for lkCustom.
const char* LedPictureName(TLedKind kind, TLedState state);

// The LED without its pictures: binding, the link slot of its signal, state, ring timing. The
// window part hands in the redraw and the ring timer.
class TComLedModel {
public:
    TComLedModel();
    ~TComLedModel();
    TComLedModel(const TComLedModel&) = delete;
    TComLedModel& operator=(const TComLedModel&) = delete;

    TCustomComPort* ComPort() const { return port_; }
    void SetComPort(TCustomComPort* port);
    TComLedSignal LedSignal() const { return signal_; }
    void SetLedSignal(TComLedSignal s);
    TLedState State() const { return state_; }
    void SetState(TLedState s);  // EComPort 19 while a port is bound
    int RingDuration = 1000;
    bool Loading = false;

    std::function<void(TLedState)> OnChange;
    std::function<void()> Redraw;            // paint now, before the port's own handler runs
    std::function<void(int ms)> StartTimer;  // the ring timer
    std::function<void()> StopTimer;
    void TimerTick();
    bool TimerRunning() const { return timerRunning_; }

private:
    void ChangeState(TLedState s);
    void Switch(TCustomComPort&, bool on);
    void RingStart(TCustomComPort&);
    bool SignalValue();
    void FillSlot();

    TComLink link_;
    TCustomComPort* port_ = nullptr;
    TComLedSignal signal_ = lsConn;
    TLedState state_ = lsOff;
    bool timerRunning_ = false;
};

// usercom.dat: six lines (port, speed, data bits, flow control, parity, stop bits), CR LF each, in
// the ANSI code page. Reading raises base::EInOutError; missing lines at the end read as empty.
using TPortSettingsLines = std::vector<std::string>;
TPortSettingsLines ReadPortSettings(const std::string& path);
void WritePortSettings(const std::string& path, const TPortSettingsLines& lines);
// The same for the file's bytes.
TPortSettingsLines ParsePortSettings(const std::string& ansiBytes);
std::string PortSettingsBytes(const TPortSettingsLines& lines);

}  // namespace serial
