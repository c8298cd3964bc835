#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include "tests/GuiTest.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!gui_test::StartToolkit(argc, argv)) {
        fprintf(stderr, "cannot start the toolkit (no DISPLAY?)\n");
        return 1;
    }
    int rc;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator activate(&loop);
        rc = RUN_ALL_TESTS();
    }
    wxEntryCleanup();
    return rc;
}
