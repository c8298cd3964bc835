// What the Windows build's benchmarks share: the toolkit started without an application window,
// a UI loop run for a given time, and a main window's services with recorded dialogs and the data
// files in a temporary folder of their own.
#pragma once

#include <memory>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/timer.h>

#include "app/Dialogs.h"
#include "app/Unit1.h"
#include "tests/TestDir.h"

namespace bench {

class TWindowsBench {
public:
    TWindowsBench(int argc, char** argv) {
        wxApp::SetInstance(new wxApp());
        if (!wxEntryStart(argc, argv)) return;
        wxTheApp->CallOnInit();
        app::RunCallQueueOnUiLoop();
        loop_ = std::make_unique<wxGUIEventLoop>();
        activate_ = std::make_unique<wxEventLoopActivator>(loop_.get());
        Services = app::SystemServices();
        Services.Dialogs = &Dialogs;
        Services.ExeDir = Dir.Path();
        Services.FilesDir.clear();
        Services.DataDir = Dir / "data\\";
    }
    ~TWindowsBench() {
        if (!loop_) return;
        activate_.reset();
        loop_.reset();
        wxEntryCleanup();
    }
    TWindowsBench(const TWindowsBench&) = delete;
    TWindowsBench& operator=(const TWindowsBench&) = delete;

    bool Ok() const { return loop_ != nullptr; }

    // Runs the UI loop for the given time.
    void RunFor(int milliseconds) {
        wxTimer stop;
        stop.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { loop_->Exit(); });
        stop.StartOnce(milliseconds);
        loop_->Run();
    }

    testing_support::TTempDir Dir;  // the data files', removed last
    app::TRecordingDialogs Dialogs;
    app::TServices Services;

private:
    std::unique_ptr<wxGUIEventLoop> loop_;
    std::unique_ptr<wxEventLoopActivator> activate_;
};

}  // namespace bench
