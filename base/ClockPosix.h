// The POSIX clock with its two system calls handed in, so that tests can set "now" and see what
// would be set without touching this machine's clock.
#pragma once

#include <ctime>
#include <functional>
#include <memory>

#include "base/Clock.h"

namespace base {

struct TPosixClockCalls {
    std::function<int(timespec*)> GetTime;        // clock_gettime(CLOCK_REALTIME, ...)
    std::function<int(const timespec*)> SetTime;  // clock_settime(CLOCK_REALTIME, ...)
};

std::unique_ptr<TClock> MakePosixClock(TPosixClockCalls calls);

}  // namespace base
