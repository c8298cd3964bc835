// A device's modem lines as a test or benchmark scripts them, behind the Linux driver's line
// ioctls; the rest of the device is a pty. TIOCMIWAIT returns on a change of the CTS counter (or of
// the lines), as the kernel's does, and after 5 ms without one with EINTR, as a signalled wait does.
#pragma once

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>

#include "serial/ComDriverPosix.h"

namespace testing_support {

struct TScriptedLines {
    std::atomic<int> bits{0};
    std::atomic<uint32_t> ctsCount{0};
    bool canWait = true, hasCounters = true;
    std::atomic<int> failGet{0};  // errno of TIOCMGET from now on (the adapter pulled)

    // CTS on or off, counted as the driver counts an edge.
    void SetCts(bool on) {
        bits = on ? TIOCM_CTS : 0;
        ++ctsCount;
    }

    serial::TLineIoctl Ioctl() {
        return [this](int, unsigned long request, void* arg) -> int {
            switch (request) {
            case TIOCMGET:
                if (int e = failGet.load()) return Fail(e);
                *static_cast<int*>(arg) = bits;
                return 0;
            case TIOCMBIS:
            case TIOCMBIC: return 0;
            case TIOCGICOUNT: {
                if (!hasCounters) return Fail(ENOTTY);
                auto* ic = static_cast<serial_icounter_struct*>(arg);
                *ic = {};
                ic->cts = static_cast<int>(ctsCount.load());
                return 0;
            }
            case TIOCMIWAIT: {
                if (!canWait) return Fail(ENOTTY);
                const int b = bits;
                const uint32_t c = ctsCount;
                for (int i = 0; i < 250; ++i) {
                    std::this_thread::sleep_for(std::chrono::microseconds(20));
                    if (bits != b || ctsCount != c) return 0;
                }
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
};

}  // namespace testing_support
