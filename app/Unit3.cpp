#include "app/Unit3.h"

#include <wx/display.h>

#include "app/InputTime.h"

namespace app {

TScreenRect LockRectangle(const wxRect& w, const wxRect& client, const TLayout& inset) {
    TScreenRect r{w.x + inset.S(20), w.y + inset.S(35), w.x + w.width - inset.S(20), w.y + w.height - inset.S(20)};
    // Without a title bar drawn around the window (no window manager) the insets cross over: keep
    // the cursor on the panel instead.
    if (r.Right <= r.Left || r.Bottom <= r.Top)
        r = {client.x + inset.S(4), client.y + inset.S(4), client.x + client.width - inset.S(4),
             client.y + client.height - inset.S(4)};
    return r;
}

TForm3::TForm3(wxWindow* owner, TMainWindowLink& main)
    : wxDialog(owner, wxID_ANY, "Blokada myszy", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSTAY_ON_TOP),
      main_(main),
      layout_(this) {
    SetFont(app::WindowFont());
    SetEscapeId(wxID_NONE);  // Esc must not end the mode
    layout_.ClientSize(wxSize(192, 53));
    Panel1 = new TCaptionPanel(this, "Odblokuj i zamknij: Shift+F9", wxDefaultPosition, wxDefaultSize,
                               TCaptionPanel::bvLowered);
    layout_.Place(Panel1, wxRect(0, 0, 192, 53));
    Panel1->Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
        pressed_ = true;
        e.Skip();
    });
    // The second press of a double click is no new click.
    Panel1->Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent&) { pressed_ = false; });
    Panel1->Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& e) {
        const TTriggerTime when = InputEventTime(e, *main_.Services().Clock);
        bool completed = pressed_ && wxRect(Panel1->GetClientSize()).Contains(e.GetPosition());
        pressed_ = false;
        if (completed) Guarded(*main_.Services().Dialogs, [this, when] { main_.CaptureRoutine(when); });
        e.Skip();
    });
    Bind(wxEVT_ACTIVATE, &TForm3::FormActivate, this);
    // Being shown is the first activation, also where no window manager hands out activations.
    Bind(wxEVT_SHOW, [this](wxShowEvent& e) {
        if (e.IsShown()) CallAfter([this] {
            PlaceOnScreen();  // again, from the size with the frame the window manager has put round it
            LockCursor();
        });
        e.Skip();
    });
    Bind(wxEVT_CHAR_HOOK, &TForm3::FormKeyDown, this);
    Bind(wxEVT_CLOSE_WINDOW, &TForm3::FormClose, this);
    FormCreate();
}

void TForm3::FormCreate() { PlaceOnScreen(); }

// 80 pixels in from the bottom right corner of the primary display.
void TForm3::PlaceOnScreen() {
    wxRect screen = wxDisplay().GetGeometry();
    wxSize outer = GetSize();
    Move(screen.x + screen.width - outer.x - layout_.S(80), screen.y + screen.height - outer.y - layout_.S(80));
}

void TForm3::FormActivate(wxActivateEvent& e) {
    if (e.GetActive()) LockCursor();
    e.Skip();
}

void TForm3::LockCursor() {
    TScreenRect r = LockRectangle(GetScreenRect(), wxRect(ClientToScreen(wxPoint(0, 0)), GetClientSize()), layout_);
    base::TCursor& cursor = *main_.Services().Cursor;
    const int x = r.Left + (r.Right - r.Left) / 2, y = r.Top + (r.Bottom - r.Top) / 2;
    if (!cursor.Confine(r.Left, r.Top, r.Right, r.Bottom) && !toldNotConfined_) {
        // Mouse mode goes on (a click in this window still captures), but the user must know the
        // cursor is free to leave it. Once per window: every activation asks again.
        toldNotConfined_ = true;
        CallAfter([this] {
            main_.Services().Dialogs->Message(
                "Nie można zablokować myszy w tym oknie: pulpit nie pozwala programom zatrzymać kursora.\r\n"
                "Pomiar lewym klawiszem myszy działa, dopóki kursor jest nad tym oknem.",
                "Brak blokady myszy", TMsgIcon::Error);
        });
    }
    // A system that believes the cursor already sits where it is sent skips the move (wine, after
    // the pointer left its windows): a step aside first makes every entry a real move.
    cursor.MoveTo(x + 1, y);
    cursor.MoveTo(x, y);
}

void TForm3::FormKeyDown(wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_F9 && e.ShiftDown()) {
        Close();
        return;
    }
    e.Skip();
}

void TForm3::FormClose(wxCloseEvent&) {
    main_.FocusKeyChoice();
    main_.Services().Cursor->Release();
    if (IsModal()) EndModal(wxID_OK);
    else Hide();
}

}  // namespace app
