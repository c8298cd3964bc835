#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <thread>

#include "base/TimeDateDBus.h"
#include "serial/RealtimeKit.h"
#include "serial/ThreadPriority.h"

namespace serial {

bool RunAheadOfOrdinaryPrograms() {
    // Above every ordinary program, below the kernel's own real-time threads (interrupts run at 50).
    constexpr int kPriority = 10;
    sched_param p{};
    p.sched_priority = kPriority;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &p) == 0) return true;
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0) {
        p.sched_priority = static_cast<int>(std::min<rlim_t>(kPriority, limit.rlim_cur));
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &p) == 0) return true;
    }
    // An ordinary user on a desktop: its real-time kit may grant what the user may not take. The
    // exchange takes milliseconds, more on a busy machine, and an edge meanwhile would be timed only
    // when the thread first looks: the kit is asked for this thread by another, bounded as ever.
    TKitRequest request;
    request.ThreadId = static_cast<uint64_t>(gettid());
    request.Priority = kPriority;
    request.SetRtTimeLimit = SetProcessRtTimeLimit;
    try {
        std::thread([request, bus = base::SystemBusAddress()] { AskRealtimeKit(request, bus); }).detach();
    } catch (const std::system_error&) {  // no thread to be had: the kit is not asked
    }
    return false;
}

}  // namespace serial
