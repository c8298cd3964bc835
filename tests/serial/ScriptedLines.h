// A device's modem lines as a test or benchmark scripts them, behind the Linux driver's line
// ioctls; the rest of the device is a pty. TIOCMIWAIT returns on a change of the CTS counter (or of
// the lines), as the kernel's does: at once for SetCts, within a millisecond for a field set directly;
// after `waitMs` without one with EINTR, as a signalled wait does.
#pragma once

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "serial/ComDriverPosix.h"

namespace testing_support {

struct TScriptedLines {
    std::atomic<int> bits{0};
    std::atomic<uint32_t> ctsCount{0};
    bool canWait = true, hasCounters = true;
    bool countsCts = true;  // false: the counters answer, but CTS never counts (a CP210x)
    std::atomic<int> serialFlags{0};  // the driver's flags (TIOCGSERIAL, TIOCSSERIAL)
    std::atomic<int> failGet{0};  // errno of TIOCMGET from now on (the adapter pulled)
    int waitMs = 5;
    // The next TIOCMIWAIT sees CTS change as it begins, before it takes its own count: the edge
    // wakes no wait, as one that comes while the watcher goes back into the kernel. It comes once
    // another thread (the event thread) has read the counters with the edge that woke the watcher,
    // and the lines after them: neither shows it.
    std::atomic<bool> edgeAsWaitBegins{false};
    // How long a look at the counters takes on any thread but the watcher's: an event thread that
    // comes back late for the next edge, as a busy machine's does.
    std::atomic<int> slowLookMs{0};
    // The CTS count as the thread in TIOCMIWAIT (the driver's line watcher) last read it.
    std::atomic<uint32_t> ctsReadByWatcher{0};

    // CTS on or off, counted as the driver counts an edge.
    void SetCts(bool on) {
        {
            std::lock_guard<std::mutex> g(lock_);
            bits = on ? TIOCM_CTS : 0;
            ++ctsCount;
        }
        changed_.notify_all();
    }

    serial::TLineIoctl Ioctl() {
        return [this](int, unsigned long request, void* arg) -> int {
            switch (request) {
            case TIOCMGET:
                if (std::this_thread::get_id() != waiter_) ++linesReadElsewhere_;
                if (int e = failGet.load()) return Fail(e);
                *static_cast<int*>(arg) = bits;
                return 0;
            case TIOCMBIS:
            case TIOCMBIC: return 0;
            case TIOCGSERIAL:
                *static_cast<serial_struct*>(arg) = {};
                static_cast<serial_struct*>(arg)->flags = serialFlags;
                return 0;
            case TIOCSSERIAL: serialFlags = static_cast<serial_struct*>(arg)->flags; return 0;
            case TIOCGICOUNT: {
                if (!hasCounters) return Fail(ENOTTY);
                auto* ic = static_cast<serial_icounter_struct*>(arg);
                *ic = {};
                ic->cts = countsCts ? static_cast<int>(ctsCount.load()) : 0;
                if (std::this_thread::get_id() != waiter_) {
                    if (int ms = slowLookMs.load()) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                    linesReadWithCount_ = linesReadElsewhere_.load();
                    ctsReadElsewhere_ = static_cast<uint32_t>(ic->cts);
                } else {
                    ctsReadByWatcher = static_cast<uint32_t>(ic->cts);
                }
                return 0;
            }
            case TIOCMIWAIT: {
                if (!canWait) return Fail(ENOTTY);
                waiter_ = std::this_thread::get_id();
                std::unique_lock<std::mutex> g(lock_);
                if (edgeAsWaitBegins.exchange(false)) {
                    g.unlock();
                    for (int i = 0; i < 1000 && (ctsReadElsewhere_ != ctsCount || linesReadElsewhere_ == linesReadWithCount_); ++i)
                        std::this_thread::sleep_for(std::chrono::microseconds(50));
                    g.lock();
                    bits = bits ^ TIOCM_CTS;
                    ++ctsCount;
                }
                const int b = bits;
                const uint32_t c = ctsCount;
                for (int i = 0; i < waitMs; ++i)
                    if (changed_.wait_for(g, std::chrono::milliseconds(1), [&] { return bits != b || ctsCount != c; }))
                        return 0;
                return Fail(EINTR);
            }
            }
            return Fail(ENOTTY);
        };
    }
    static int Fail(int e) {
        errno = e;
        return -1;
    }

private:
    std::atomic<std::thread::id> waiter_{};
    std::atomic<uint32_t> ctsReadElsewhere_{0};
    std::atomic<int> linesReadElsewhere_{0}, linesReadWithCount_{0};
    std::mutex lock_;
    std::condition_variable changed_;
};

}  // namespace testing_support
