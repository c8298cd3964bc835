// What the serial port component asks of the operating system's serial driver, in the Windows
// communications terms. Failures return false with the Windows error code of the same failure.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "serial/CPortTypes.h"
#include "serial/PortAdapter.h"

// The Windows names and values of the communications calls (MS_CTS_ON, EV_CTS, CE_FRAME,
// PURGE_RXCLEAR ...): the system's own on Windows, the same values on other systems.
#include "CommDefs.h"

namespace serial {

// When a line change was seen: the wall clock for the record, the monotonic clock for the rules
// between edges (a setting of the wall clock moves the one and not the other).
struct TEdgeTime {
    int64_t WallUs = 0;  // microseconds since 1970, UTC
    int64_t MonoUs = 0;  // microseconds on a clock no setting moves
};

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
    // Starts what watches the lines, once the mask is set and before the first wait; false with the
    // Windows error code when it cannot (no thread to be had).
    virtual bool StartWatching(int& error) {
        (void)error;
        return true;
    }
    // Blocks until an event of the mask (its bits in `events`), the stop, or a failure. Gone: the
    // device has disappeared (every further wait would fail at once).
    virtual TWait WaitCommEvent(uint32_t& events) = 0;
    // Wakes every wait at once. The next waits hand on the line changes the device had kept by then,
    // one a wait, then return Stopped until the device is closed.
    virtual void StopWaits() = 0;
    virtual bool GetCommModemStatus(uint32_t& status, int& error) = 0;
    // The status that goes with the line events the last wait returned, asked on the waiting thread
    // right after it. A driver that counts line edges hands on each edge with its own level, so a
    // pulse that came and went while the reports were busy still arrives as an on and an off.
    // `seen` comes in as the time the wait returned; a driver that saw the edge itself, before that,
    // puts the time it saw it.
    virtual bool GetEventModemStatus(uint32_t& status, TEdgeTime& seen, int& error) {
        (void)seen;
        return GetCommModemStatus(status, error);
    }
    virtual bool ClearCommError(uint32_t& errors, uint32_t& inQueue, int& error) = 0;
    virtual bool PurgeComm(uint32_t flags, int& error) = 0;
    virtual bool Read(void* buffer, uint32_t count, uint32_t& read, int& error) = 0;
};

// A watch for a lost port's return; it ends with this object.
class TPortWatch {
public:
    virtual ~TPortWatch() = default;
};

class TComDriver {
public:
    virtual ~TComDriver() = default;
    // Opens the port exclusively; nothing and the error code when it can't.
    virtual std::unique_ptr<TComDevice> Open(const std::string& port, int& error) = 0;
    // Watches, without polling, for a lost port to come back: `maybeBack` is called, on a thread of
    // the watch's own, each time the system tells of a change that may be its return (its device
    // made again, its name listed again). Nothing where the driver cannot tell.
    virtual std::unique_ptr<TPortWatch> WatchReturn(const std::string& port, std::function<void()> maybeBack) {
        (void)port, (void)maybeBack;
        return nullptr;
    }
    // Which adapter the port is, as the system tells before it is opened; an unknown one where it
    // tells nothing.
    virtual TPortAdapter Describe(const std::string& port) {
        (void)port;
        return {};
    }
};

// The program's driver, the operating system's.
TComDriver& SystemComDriver();

}  // namespace serial
