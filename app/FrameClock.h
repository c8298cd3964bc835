// The live display's refresh: one wxEVT_TIMER to the owner per frame of the screen the paced window
// is on, on the UI thread, also inside every modal window and message box. It only serves the eye:
// nothing may depend on how often it comes.
// On GTK: the paced widget's frame clock, at the monitor's rate, silent while the window is not
// drawn (a Wayland compositor stops the frames of a hidden surface).
// On Windows: a message timer of ordinary resolution at the monitor's refresh period, on a
// message-only window of its own, so that the native message boxes' loops dispatch it too. No
// thread and no raised system timer resolution: the machine's timer interrupt keeps its own pace.
#pragma once

#include <memory>

#include <wx/timer.h>

class wxWindow;

namespace app {

class TFrameClock {
public:
    explicit TFrameClock(wxEvtHandler* owner);
    ~TFrameClock();
    TFrameClock(const TFrameClock&) = delete;
    TFrameClock& operator=(const TFrameClock&) = delete;

    // Frames from now on, paced by the screen `paced` is on; the owner stops them while its window
    // is minimised.
    void Start(wxWindow* paced);
    void Stop();
    bool IsRunning() const;

    struct TImpl;

private:
    std::unique_ptr<TImpl> impl_;
};

}  // namespace app
