// A lost port's return on Linux: inotify on the folder of its device node (/dev, or the folder of a
// name given as a path), woken when a node of its name is made, renamed there, or has its
// permissions set (udev does that after making it). A USB adapter that had a serial number must
// come back with the same one.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <thread>

#include "serial/ComDriverPosix.h"

namespace serial {

namespace {

class TNodeWatch final : public TPortWatch {
public:
    TNodeWatch(int inotify, int stop, std::string dir, std::string name, std::string serial,
               std::function<void()> maybeBack)
        : inotify_(inotify), stop_(stop), dir_(std::move(dir)), name_(std::move(name)), serial_(std::move(serial)),
          maybeBack_(std::move(maybeBack)), thread_([this] { Run(); }) {}
    ~TNodeWatch() override {
        uint64_t one = 1;
        (void)!write(stop_, &one, sizeof one);
        thread_.join();
        close(inotify_);
        close(stop_);
    }

private:
    void Run() {
        alignas(inotify_event) char buf[4096];
        for (;;) {
            pollfd p[2] = {{stop_, POLLIN, 0}, {inotify_, POLLIN, 0}};
            if (poll(p, 2, -1) < 0) continue;
            if (p[0].revents) return;
            const ssize_t n = read(inotify_, buf, sizeof buf);
            bool ours = false;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                if (e->len && name_ == e->name) ours = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
            if (ours && (serial_.empty() || UsbSerialOfDevice(dir_ + name_) == serial_)) maybeBack_();
        }
    }

    const int inotify_, stop_;
    const std::string dir_, name_, serial_;
    const std::function<void()> maybeBack_;
    std::thread thread_;
};

}  // namespace

// The watch of one device node's folder; nothing where inotify or a thread cannot be had.
std::unique_ptr<TPortWatch> WatchNode(const std::string& devicePath, const std::string& serial,
                                      std::function<void()> maybeBack) {
    const size_t slash = devicePath.rfind('/');
    if (slash == std::string::npos) return nullptr;
    const std::string dir = devicePath.substr(0, slash + 1), name = devicePath.substr(slash + 1);
    const int inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (inotify < 0) return nullptr;
    const int stop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop < 0 || inotify_add_watch(inotify, dir.c_str(), IN_CREATE | IN_MOVED_TO | IN_ATTRIB) < 0) {
        close(inotify);
        if (stop >= 0) close(stop);
        return nullptr;
    }
    try {
        return std::make_unique<TNodeWatch>(inotify, stop, dir, name, serial, std::move(maybeBack));
    } catch (const std::system_error&) {  // no thread to be had: no watch, as where none can be made
        close(inotify);
        close(stop);
        return nullptr;
    }
}

std::unique_ptr<TPortWatch> TPosixComDriver::WatchReturn(const std::string& port, std::function<void()> maybeBack) {
    std::string serial;
    {
        std::lock_guard<std::mutex> g(serialsLock_);
        if (auto it = serials_.find(port); it != serials_.end()) serial = it->second;
    }
    return WatchNode(DevicePathOf(port), serial, std::move(maybeBack));
}

}  // namespace serial
