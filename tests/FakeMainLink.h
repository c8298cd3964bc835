// A main window stand-in for the secondary windows' tests: counts captures, can fail them, keeps
// the stopped-time text a capture would show.
#pragma once

#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "base/TextFile.h"

namespace gui_test {

class TFakeMain final : public app::TMainWindowLink {
public:
    void CaptureRoutine(app::TTriggerTime when) override {
        if (FailCaptureWith) throw base::EInOutError(FailCaptureWith);
        Times.push_back(when);
        ++Captures;
        Stopped = "12:34:56," + std::to_string(100 + Captures) + " UT";
    }
    const app::TDataPaths& Paths() const override { return PathsValue; }
    std::string StoppedText() const override { return Stopped; }
    void FocusKeyChoice() override { ++Focused; }
    app::TServices& Services() override { return ServicesValue; }

    app::TDataPaths PathsValue;
    app::TServices ServicesValue;
    std::string Stopped = "00:00:00,000 UT";
    int Captures = 0, Focused = 0;
    std::vector<app::TTriggerTime> Times;  // of each capture
    int FailCaptureWith = 0;  // a run-time I/O error code to raise
};

}  // namespace gui_test
