#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>

#include "serial/ThreadPriority.h"

namespace serial {

bool RunAheadOfOrdinaryPrograms() {
    // Above every ordinary program, below the kernel's own real-time threads (interrupts run at 50).
    constexpr int kPriority = 10;
    sched_param p{};
    p.sched_priority = kPriority;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &p) == 0) return true;
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) != 0 || limit.rlim_cur == 0) return false;
    p.sched_priority = static_cast<int>(std::min<rlim_t>(kPriority, limit.rlim_cur));
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &p) == 0;
}

}  // namespace serial
