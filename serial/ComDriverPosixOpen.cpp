// The Linux serial driver's opening of a port: the node opened and locked exclusively, the
// adapter's own settings for quick line changes, the device with its line watcher.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <optional>
#include <system_error>

#include "serial/ComDriverPosix.h"

namespace serial {

namespace {

// An FTDI adapter holds line changes up to its latency timer (16 ms by default) unless the driver
// runs it at low latency, which an ordinary user may ask for. The driver's flags before, to put
// back at the close; nothing when they were already so or cannot be set.
std::optional<int> LowLatency(const TLineIoctl& lineIoctl, int fd) {
    serial_struct ss{};
    if (lineIoctl(fd, TIOCGSERIAL, &ss) != 0 || (ss.flags & ASYNC_LOW_LATENCY)) return std::nullopt;
    const int before = ss.flags;
    ss.flags |= ASYNC_LOW_LATENCY;
    if (lineIoctl(fd, TIOCSSERIAL, &ss) != 0) return std::nullopt;
    return before;
}

}  // namespace

void PutBackSerialFlags(const TLineIoctl& lineIoctl, int fd, int flags) {
    serial_struct ss{};
    if (lineIoctl(fd, TIOCGSERIAL, &ss) != 0) return;
    ss.flags = flags;
    lineIoctl(fd, TIOCSSERIAL, &ss);
}

std::unique_ptr<TComDevice> TPosixComDriver::Open(const std::string& port, int& error) {
    const std::string path = DevicePathOf(port);
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = WindowsErrorOfErrno(errno);
        return nullptr;
    }
    auto fail = [&](int err) {
        error = WindowsErrorOfErrno(err);
        close(fd);
        return nullptr;
    };
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) return fail(errno);  // not a serial device
    // Exclusive: the lock holds against every other opener, root included; TIOCEXCL adds the
    // kernel's refusal of further opens by ordinary users.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno);
    if (ioctl(fd, TIOCEXCL) != 0) return fail(errno);
    int stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0) {
        int err = errno;
        ioctl(fd, TIOCNXCL);
        return fail(err);
    }
    int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        int err = errno;
        close(stopFd);
        ioctl(fd, TIOCNXCL);
        return fail(err);
    }
    const TPortAdapter adapter = AdapterOfDevice(path);  // one look into sysfs for all it tells
    {
        std::lock_guard<std::mutex> g(serialsLock_);
        serials_[port] = adapter.UsbSerial;
    }
    const TAdapterFamily family = adapter.Family;
    const std::optional<int> serialFlags = family == TAdapterFamily::Ftdi ? LowLatency(lineIoctl_, fd) : std::nullopt;
    try {
        return MakePosixDevice(fd, stopFd, wakeFd, lineIoctl_, clock_, family, serialFlags);
    } catch (const std::system_error&) {  // no thread for the line watcher: nothing is kept open
        if (serialFlags) PutBackSerialFlags(lineIoctl_, fd, *serialFlags);
        close(stopFd);
        close(wakeFd);
        ioctl(fd, TIOCNXCL);
        return fail(ENOMEM);
    }
}

TPortAdapter TPosixComDriver::Describe(const std::string& port) { return AdapterOfDevice(DevicePathOf(port)); }

TEdgeClock SystemEdgeClock() {
    return [] {
        timespec wall{}, mono{};
        clock_gettime(CLOCK_REALTIME, &wall);
        clock_gettime(CLOCK_MONOTONIC, &mono);
        return TEdgeTime{static_cast<int64_t>(wall.tv_sec) * 1000000 + wall.tv_nsec / 1000,
                         static_cast<int64_t>(mono.tv_sec) * 1000000 + mono.tv_nsec / 1000};
    };
}

TPosixComDriver::TPosixComDriver()
    : lineIoctl_([](int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }),
      clock_(SystemEdgeClock()) {}

TComDriver& SystemComDriver() {
    static TPosixComDriver driver;
    return driver;
}

}  // namespace serial
