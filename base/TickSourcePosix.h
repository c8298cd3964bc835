// A 1 ms tick on the wall clock for a GLib main loop: a timerfd on CLOCK_REALTIME with absolute
// deadlines on whole milliseconds, watched by a source in the default main context, so that every
// loop that runs it (modal ones included) ticks. One tick per wake-up: a late tick is not made up.
// When the clock is set the timer is re-armed from the new time, so a step either way neither
// freezes the ticks nor bursts them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <functional>

struct itimerspec;

namespace base {

// The system calls of the tick, so that tests can script the kernel's answers.
struct TTimerFdCalls {
    std::function<int()> Create;                                      // timerfd_create
    std::function<int(int fd, int flags, const itimerspec*)> SetTime;  // timerfd_settime
    std::function<ssize_t(int fd, uint64_t* expirations)> Read;       // read of the count
    std::function<int(timespec*)> Now;                                // clock_gettime(CLOCK_REALTIME)
    std::function<void(int fd)> Close;
};
TTimerFdCalls SystemTimerFdCalls();

class TTickSource {
public:
    TTickSource(std::function<void()> onTick, TTimerFdCalls calls = SystemTimerFdCalls());
    ~TTickSource();
    TTickSource(const TTickSource&) = delete;
    TTickSource& operator=(const TTickSource&) = delete;

    // Starts ticking every `milliseconds` on the wall clock's whole milliseconds; false when the
    // timer cannot be had (the caller may fall back to another timer).
    bool Start(int milliseconds);
    void Stop();
    bool IsRunning() const { return source_ != nullptr; }

private:
    bool Arm();
    static int Dispatch(void* self);

    std::function<void()> onTick_;
    TTimerFdCalls calls_;
    int fd_ = -1;
    int periodMs_ = 1;
    void* source_ = nullptr;  // the GSource
};

}  // namespace base
