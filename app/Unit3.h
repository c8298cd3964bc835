// The mouse-lock window: stays on top in the lower right corner, keeps the cursor inside it, and
// turns every completed left click into a capture. Shift+F9 leaves.
#pragma once

#include <wx/dialog.h>

#include "app/CaptionPanel.h"
#include "app/Layout.h"
#include "app/MainWindow.h"

namespace app {

struct TScreenRect {
    int Left, Top, Right, Bottom;
};

// The confinement rectangle from the window's outer bounds (20 in, 35 at the top below the title, at
// 96 DPI: `inset` scales them); the client area less 4 when the outer bounds have no frame to make
// room for that.
TScreenRect LockRectangle(const wxRect& outer, const wxRect& clientOnScreen, const TLayout& inset);

class TForm3 : public wxDialog {
public:
    TForm3(wxWindow* owner, TMainWindowLink& main);

    TCaptionPanel* Panel1;
    void LockCursor();

private:
    void FormCreate();
    void PlaceOnScreen();
    void FormActivate(wxActivateEvent&);
    void FormKeyDown(wxKeyEvent&);
    void FormClose(wxCloseEvent&);

    TMainWindowLink& main_;
    TLayout layout_;
    bool pressed_ = false;
    bool toldNotConfined_ = false;
};

}  // namespace app
