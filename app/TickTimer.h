// The main window's clock tick, delivered to its owner as wxEVT_TIMER events. On GTK this is a plain
// wxTimer. On Windows the message timer cannot tick faster than the system tick (15.6 ms, 10 ms at
// best), so a thread waits on a high-resolution waitable timer and hands one tick at a time to the
// UI loop: a tick is posted only when the previous one has been handled, so a busy loop is never
// flooded.
#pragma once

#include <wx/timer.h>

#ifdef __WXMSW__
#include <atomic>
#include <thread>
#endif

namespace app {

#ifdef __WXMSW__
class TTickTimer {
public:
    explicit TTickTimer(wxEvtHandler* owner);
    ~TTickTimer();
    TTickTimer(const TTickTimer&) = delete;
    TTickTimer& operator=(const TTickTimer&) = delete;

    void Start(int milliseconds);
    void Stop();
    bool IsRunning() const { return running_; }

private:
    void Run(int milliseconds);
    void Deliver();

    wxEvtHandler* owner_;
    wxTimer events_;  // the source named in the events; never started itself
    std::thread thread_;
    void* stop_ = nullptr;
    std::atomic<bool> running_{false};
    std::atomic<bool> pending_{false};
};
#else
class TTickTimer : public wxTimer {
public:
    explicit TTickTimer(wxEvtHandler* owner) : wxTimer(owner) {}
};
#endif

}  // namespace app
