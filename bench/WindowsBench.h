// What the Windows build's benchmarks share: the toolkit started without an application window,
// a UI loop run for a given time, and a main window's services with recorded dialogs and the data
// files in a temporary folder of their own.
#pragma once

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/timer.h>

#include "app/Dialogs.h"
#include "app/Unit1.h"

namespace bench {

class TWindowsBench {
public:
    TWindowsBench(int argc, char** argv) {
        wxApp::SetInstance(new wxApp());
        if (!wxEntryStart(argc, argv)) return;
        wxTheApp->CallOnInit();
        app::RunCallQueueOnUiLoop();
        Dir = std::filesystem::temp_directory_path() / ("tempix-bench-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(Dir);
        loop_ = std::make_unique<wxGUIEventLoop>();
        activate_ = std::make_unique<wxEventLoopActivator>(loop_.get());
        Services = app::SystemServices();
        Services.Dialogs = &Dialogs;
        Services.ExeDir = Dir.string() + "\\";  // the data files' names are put after it
    }
    ~TWindowsBench() {
        if (!loop_) return;
        activate_.reset();
        loop_.reset();
        wxEntryCleanup();
        std::error_code ignored;
        std::filesystem::remove_all(Dir, ignored);
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

    std::filesystem::path Dir;
    app::TRecordingDialogs Dialogs;
    app::TServices Services;

private:
    std::unique_ptr<wxGUIEventLoop> loop_;
    std::unique_ptr<wxEventLoopActivator> activate_;
};

}  // namespace bench
