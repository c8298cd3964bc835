// A main window's services for window tests: the real clock and cursor, everything else recorded,
// and a fresh folder as the executable's, with the user's data folder inside it.
#pragma once

#include <gtest/gtest.h>

#include "app/Services.h"
#include "tests/TestDir.h"

namespace gui_test {

class TMainWindowFixture : public testing::Test {
protected:
    TMainWindowFixture() {
        services.Clock = &base::SystemClock();
        services.Shell = &shell;
        services.Help = &help;
        services.Dialogs = &dialogs;
        services.Cursor = &app::SystemCursor();
        services.ExeDir = dir.Path();
        services.DataDir = dir / "data/";
    }

    testing_support::TTempDir dir;
    app::TServices services;
    base::TRecordingShell shell;
    base::TRecordingHelp help;
    app::TRecordingDialogs dialogs;
};

}  // namespace gui_test
