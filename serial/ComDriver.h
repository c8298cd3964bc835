// What the serial port component asks of the operating system's serial driver, in the Windows
// communications terms. Failures return false with the Windows error code of the same failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/CPortTypes.h"

// The Windows names and values below: the Windows build takes them from the system's headers, where
// they are macros.
#ifdef _WIN32
#include <windows.h>
#endif

namespace serial {

#ifndef _WIN32
inline constexpr int ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80;
inline constexpr uint32_t CE_RXOVER = 0x1, CE_OVERRUN = 0x2, CE_RXPARITY = 0x4, CE_FRAME = 0x8,
                          CE_BREAK = 0x10, CE_TXFULL = 0x100, CE_IOE = 0x400, CE_MODE = 0x8000;
inline constexpr uint32_t EV_RXCHAR = 0x1, EV_RXFLAG = 0x2, EV_TXEMPTY = 0x4, EV_CTS = 0x8, EV_DSR = 0x10,
                          EV_RLSD = 0x20, EV_BREAK = 0x40, EV_ERR = 0x80, EV_RING = 0x100, EV_PERR = 0x200,
                          EV_RX80FULL = 0x400;
inline constexpr uint32_t PURGE_TXABORT = 1, PURGE_RXABORT = 2, PURGE_TXCLEAR = 4, PURGE_RXCLEAR = 8;
#endif

struct TCommTimeouts {
    uint32_t ReadIntervalTimeout, ReadTotalTimeoutMultiplier, ReadTotalTimeoutConstant, WriteTotalTimeoutMultiplier,
        WriteTotalTimeoutConstant;
};

class TComDevice {
public:
    virtual ~TComDevice() = default;
    enum class TWait { Event, Stopped, Failed, Gone };

    virtual bool SetupComm(uint32_t inQueue, uint32_t outQueue, int& error) = 0;
    virtual bool SetCommState(const TDCB& dcb, int& error) = 0;
    virtual bool SetCommTimeouts(const TCommTimeouts& t, int& error) = 0;
    virtual void SetCommMask(uint32_t mask) = 0;
    // Blocks until an event of the mask (its bits in `events`), the stop, or a failure. Gone: the
    // device has disappeared (every further wait would fail at once).
    virtual TWait WaitCommEvent(uint32_t& events) = 0;
    // Wakes every wait at once; the next waits return Stopped until the device is closed.
    virtual void StopWaits() = 0;
    virtual bool GetCommModemStatus(uint32_t& status, int& error) = 0;
    virtual bool ClearCommError(uint32_t& errors, uint32_t& inQueue, int& error) = 0;
    virtual bool PurgeComm(uint32_t flags, int& error) = 0;
    virtual bool Read(void* buffer, uint32_t count, uint32_t& read, int& error) = 0;
};

class TComDriver {
public:
    virtual ~TComDriver() = default;
    // Opens the port exclusively; nothing and the error code when it can't.
    virtual std::unique_ptr<TComDevice> Open(const std::string& port, int& error) = 0;
};

// The program's driver, the operating system's.
TComDriver& SystemComDriver();

}  // namespace serial
