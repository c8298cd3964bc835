#include <windows.h>
#include <mmsystem.h>

#include "app/TickTimer.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace app {

TTickTimer::TTickTimer(wxEvtHandler* owner) : owner_(owner), events_(owner) {
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

TTickTimer::~TTickTimer() {
    Stop();
    CloseHandle(stop_);
}

void TTickTimer::Start(int milliseconds) {
    Stop();
    ResetEvent(stop_);
    running_ = true;
    pending_ = false;
    thread_ = std::thread([this, milliseconds] { Run(milliseconds); });
}

void TTickTimer::Stop() {
    running_ = false;
    if (!thread_.joinable()) return;
    SetEvent(stop_);
    thread_.join();
}

void TTickTimer::Run(int milliseconds) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    bool coarse = timer == nullptr;
    if (coarse) {
        // Systems before the high-resolution timer: raise the system tick to 1 ms while we run.
        timeBeginPeriod(1);
        timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    }
    // A periodic timer: the ticks keep their pace however long the wait for each takes to return.
    LONG period = milliseconds > 0 ? milliseconds : 1;
    LARGE_INTEGER due;
    due.QuadPart = -10000LL * period;  // relative, in 100 ns units
    HANDLE list[2] = {stop_, timer};
    if (timer && SetWaitableTimer(timer, &due, period, nullptr, nullptr, FALSE)) {
        while (WaitForMultipleObjects(2, list, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
            if (!pending_.exchange(true)) owner_->CallAfter([this] { Deliver(); });
        CancelWaitableTimer(timer);
    }
    if (timer) CloseHandle(timer);
    if (coarse) timeEndPeriod(1);
}

void TTickTimer::Deliver() {
    pending_ = false;
    if (!running_) return;
    wxTimerEvent event(events_);
    owner_->SafelyProcessEvent(event);
}

}  // namespace app
