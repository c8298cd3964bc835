// The main window's clock tick, delivered to its owner as wxEVT_TIMER events on the UI thread, one
// per wake-up (a late tick is not made up), also inside every modal window and message box.
// On GTK: a GLib source on a timerfd, ticking on the wall clock's whole milliseconds (the toolkit's
// own timer restarts its interval after each tick and waits in whole milliseconds, 850 ticks a
// second). On Windows the message timer cannot tick faster than the system tick (15.6 ms, 10 ms at
// best), so a thread waits on a high-resolution waitable timer and hands one tick at a time to the
// UI thread: a tick is posted only when the previous one has been handled, so a busy loop is never
// flooded.
#pragma once

#include <memory>

#include <wx/timer.h>

namespace app {

class TTickTimer {
public:
    explicit TTickTimer(wxEvtHandler* owner);
    ~TTickTimer();
    TTickTimer(const TTickTimer&) = delete;
    TTickTimer& operator=(const TTickTimer&) = delete;

    void Start(int milliseconds);
    void Stop();
    bool IsRunning() const;

    struct TImpl;

private:
    std::unique_ptr<TImpl> impl_;
};

}  // namespace app
