// What the serial port component asks of the operating system's serial driver, in the Windows
// communications terms. Failures return false with the Windows error code of the same failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/CPortTypes.h"

namespace serial {

// Where the Windows headers are in, these are their macros, of the same values.
#ifndef ERROR_INVALID_HANDLE
inline constexpr int ERROR_INVALID_HANDLE = 6;
#endif
#ifndef MS_CTS_ON
inline constexpr uint32_t MS_CTS_ON = 0x10;
#endif
#ifndef MS_DSR_ON
inline constexpr uint32_t MS_DSR_ON = 0x20;
#endif
#ifndef MS_RING_ON
inline constexpr uint32_t MS_RING_ON = 0x40;
#endif
#ifndef MS_RLSD_ON
inline constexpr uint32_t MS_RLSD_ON = 0x80;
#endif
#ifndef CE_RXOVER
inline constexpr uint32_t CE_RXOVER = 0x1;
#endif
#ifndef CE_OVERRUN
inline constexpr uint32_t CE_OVERRUN = 0x2;
#endif
#ifndef CE_RXPARITY
inline constexpr uint32_t CE_RXPARITY = 0x4;
#endif
#ifndef CE_FRAME
inline constexpr uint32_t CE_FRAME = 0x8;
#endif
#ifndef CE_BREAK
inline constexpr uint32_t CE_BREAK = 0x10;
#endif
#ifndef CE_TXFULL
inline constexpr uint32_t CE_TXFULL = 0x100;
#endif
#ifndef CE_IOE
inline constexpr uint32_t CE_IOE = 0x400;
#endif
#ifndef CE_MODE
inline constexpr uint32_t CE_MODE = 0x8000;
#endif
#ifndef EV_RXCHAR
inline constexpr uint32_t EV_RXCHAR = 0x1;
#endif
#ifndef EV_RXFLAG
inline constexpr uint32_t EV_RXFLAG = 0x2;
#endif
#ifndef EV_TXEMPTY
inline constexpr uint32_t EV_TXEMPTY = 0x4;
#endif
#ifndef EV_CTS
inline constexpr uint32_t EV_CTS = 0x8;
#endif
#ifndef EV_DSR
inline constexpr uint32_t EV_DSR = 0x10;
#endif
#ifndef EV_RLSD
inline constexpr uint32_t EV_RLSD = 0x20;
#endif
#ifndef EV_BREAK
inline constexpr uint32_t EV_BREAK = 0x40;
#endif
#ifndef EV_ERR
inline constexpr uint32_t EV_ERR = 0x80;
#endif
#ifndef EV_RING
inline constexpr uint32_t EV_RING = 0x100;
#endif
#ifndef EV_PERR
inline constexpr uint32_t EV_PERR = 0x200;
#endif
#ifndef EV_RX80FULL
inline constexpr uint32_t EV_RX80FULL = 0x400;
#endif
#ifndef PURGE_TXABORT
inline constexpr uint32_t PURGE_TXABORT = 1;
#endif
#ifndef PURGE_RXABORT
inline constexpr uint32_t PURGE_RXABORT = 2;
#endif
#ifndef PURGE_TXCLEAR
inline constexpr uint32_t PURGE_TXCLEAR = 4;
#endif
#ifndef PURGE_RXCLEAR
inline constexpr uint32_t PURGE_RXCLEAR = 8;
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
