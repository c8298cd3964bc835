// The Linux serial driver: termios2 line settings, exclusive open, modem-line waits with TIOCMIWAIT
// and the interrupt counters, data and hang-up through poll, a stop that wakes every wait.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "serial/ComDriver.h"
#include "serial/PortAdapter.h"

struct termios2;

namespace serial {

// The device a port name opens: COMn is /dev/ttyS(n-1), an absolute path stands as it is, any other
// name is looked up in /dev.
std::string DevicePathOf(const std::string& port);

// The Windows system error code of a failed call's errno:
//   ENOENT, ENXIO, ENODEV             2  ERROR_FILE_NOT_FOUND (no such port)
//   ENOTDIR, ENAMETOOLONG, ELOOP      3  ERROR_PATH_NOT_FOUND
//   EACCES, EPERM, EBUSY, EWOULDBLOCK 5  ERROR_ACCESS_DENIED (also: the port is open elsewhere)
//   EBADF                             6  ERROR_INVALID_HANDLE
//   EMFILE, ENFILE                    4  ERROR_TOO_MANY_OPEN_FILES
//   ENOTTY                            1  ERROR_INVALID_FUNCTION (not a serial device)
//   EINVAL                           87  ERROR_INVALID_PARAMETER (a setting the device refuses)
//   EIO, EPIPE                     1117  ERROR_IO_DEVICE
//   ENOMEM                            8  ERROR_NOT_ENOUGH_MEMORY
//   EINTR                           995  ERROR_OPERATION_ABORTED
//   anything else                    31  ERROR_GEN_FAILURE
int WindowsErrorOfErrno(int err);

// The modem-line interrupt counters (TIOCGICOUNT) the driver compares between waits.
struct TLineCounts {
    uint32_t Cts = 0, Dsr = 0, Rng = 0, Dcd = 0, Frame = 0, Overrun = 0, Parity = 0, Brk = 0, BufOverrun = 0;
};
// The Windows event bits (EV_CTS ...) and line errors (CE_FRAME ...) of the changes between two readings.
uint32_t EventsBetween(const TLineCounts& before, const TLineCounts& after);
uint32_t ErrorsBetween(const TLineCounts& before, const TLineCounts& after);
// Line events from two modem-status words (MS_CTS_ON ...) where the device has no counters.
uint32_t EventsOfStatusChange(uint32_t before, uint32_t after);

// The termios2 fields of a line-settings record: raw bytes, the speed (BOTHER where no Bnnn
// constant has it), size, parity (CMSPAR for mark and space), stop bits, CRTSCTS for RTS handshake
// with CTS flow, IXON/IXOFF with their characters. DTR and RTS are set on the lines, not here.
void SetTermios(const TDCB& dcb, termios2& t);

// The ioctls of the modem lines (TIOCMGET, TIOCMBIS, TIOCMBIC, TIOCMIWAIT, TIOCGICOUNT), as ioctl(2)
// takes them: -1 and errno on failure. Tests answer them as a device would.
using TLineIoctl = std::function<int(int fd, unsigned long request, void* arg)>;
// The wall clock the line edges are timed on, in microseconds since 1970 (UTC).
using TEdgeClock = std::function<TEdgeTime()>;
TEdgeClock SystemEdgeClock();

// The serial number of the USB device a tty node belongs to (sysfs); "" for none.
std::string UsbSerialOfDevice(const std::string& devicePath);
// The adapter of a tty node, from sysfs: its driver's family; the USB maker and product, else the
// vendor and product ids; its USB serial number.
TPortAdapter AdapterOfDevice(const std::string& devicePath);

// The device of a port opened, locked and made exclusive, its line watcher started (it throws
// std::system_error when no thread can be had). `serialFlags`: the driver's flags (TIOCGSERIAL) to
// put back at the close.
std::unique_ptr<TComDevice> MakePosixDevice(int fd, int stopFd, int wakeFd, TLineIoctl lineIoctl, TEdgeClock clock,
                                            TAdapterFamily family, std::optional<int> serialFlags);
void PutBackSerialFlags(const TLineIoctl& lineIoctl, int fd, int flags);

class TPosixComDriver final : public TComDriver {
public:
    TPosixComDriver();
    explicit TPosixComDriver(TLineIoctl lineIoctl, TEdgeClock clock = SystemEdgeClock())
        : lineIoctl_(std::move(lineIoctl)), clock_(std::move(clock)) {}
    std::unique_ptr<TComDevice> Open(const std::string& port, int& error) override;
    // The port's device node made again in its folder, with the USB serial number it was last
    // opened with, where it had one.
    std::unique_ptr<TPortWatch> WatchReturn(const std::string& port, std::function<void()> maybeBack) override;
    TPortAdapter Describe(const std::string& port) override;

private:
    TLineIoctl lineIoctl_;
    TEdgeClock clock_;
    std::mutex serialsLock_;
    std::map<std::string, std::string> serials_;  // the USB serial number of each port's last open
};

}  // namespace serial
