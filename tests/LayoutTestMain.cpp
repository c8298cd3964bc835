// The layout test's own start for the Windows build, under wine on the test display.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv)) return 1;
    wxTheApp->CallOnInit();
    int rc;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator activate(&loop);
        rc = RUN_ALL_TESTS();
    }
    wxEntryCleanup();
    return rc;
}
