#include "app/Unit1.h"

#include <cctype>
#include <utility>

#include <wx/settings.h>
#include <wx/utils.h>

#include "app/FontMapping.h"
#include "app/InputTime.h"
#include "app/Unit3.h"
#include "resources/tempix.xpm"
#include "serial/Unit4.h"
#include "timesync/Unit2.h"

namespace app {

namespace {

wxButton* MakeButton(TLayout& layout, wxWindow* parent, const char* caption, int left, int top) {
    auto* b = new wxButton(parent, wxID_ANY, wxString::FromUTF8(caption));
    b->DisableFocusFromKeyboard();
    layout.Place(b, wxRect(left, top, 75, 25));
    return b;
}

wxStaticBox* MakeGroup(TLayout& layout, wxWindow* parent, const char* caption, const wxRect& r) {
    auto* box = new wxStaticBox(parent, wxID_ANY, wxString::FromUTF8(caption));
    layout.Place(box, r);
    return box;
}

// A panel that fills a group box below its caption.
TCaptionPanel* MakeGroupPanel(TLayout& layout, wxWindow* parent, const wxRect& box) {
    auto* panel = new TCaptionPanel(parent, kInitialTimeText, wxDefaultPosition, wxDefaultSize);
    layout.Place(panel, wxRect(box.x + 2, box.y + 15, box.width - 4, box.height - 17));
    return panel;
}

}  // namespace

int VirtualKeyOf(const wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER: return VK_RETURN;
    case WXK_PAUSE: return VK_PAUSE;
    case WXK_INSERT:
    case WXK_NUMPAD_INSERT: return VK_INSERT;
    case WXK_ESCAPE: return VK_ESCAPE;
    case WXK_F1: return VK_F1;
    case WXK_F9: return VK_F9;
    default: return 0;
    }
}

TForm1::TForm1(const TServices& services)
    : wxFrame(nullptr, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
              wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX | wxCLIP_CHILDREN),
      Timer1(this),
      services_(services),
      clock_(*services.Clock, services.Format),
      layout_(this) {
    SetName("Form1");
    TLayout& L = layout_;
    Client = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL);
    Client->SetFont(WindowFont());
    L.Place(Client, wxRect(0, 0, 537, 363));

    const wxRect box1(8, 8, 521, 57), box2(8, 72, 521, 145);
    GroupBox1 = MakeGroup(L, Client, "Czas aktualny", box1);
    Panel1 = MakeGroupPanel(L, Client, box1);
    L.PixelFont(Panel1,
                wxFont(wxFontInfo().Family(wxFONTFAMILY_SWISS).FaceName(SansFace()).Encoding(wxFONTENCODING_CP1250)),
                13);

    GroupBox2 = MakeGroup(L, Client, "Czas zatrzymany", box2);
    Panel2 = MakeGroupPanel(L, Client, box2);
    // Until the display settings are read.
    L.PixelFont(Panel2,
                wxFont(wxFontInfo().Family(wxFONTFAMILY_ROMAN).Italic().FaceName("Times New Roman").Encoding(
                    wxFONTENCODING_CP1250)),
                64);
    Panel2->SetCursor(wxCursor(wxCURSOR_HAND));
    Panel1->SpeakCaption(false);  // asked, not told: it changes every frame
    Panel1->DrawDigitsFromPictures(true);  // only the digits that changed, no text laid out per frame
    Panel2->SpeakCaption(true);
    Panel2->SetToolTip("Czcionka");

    RadioGroup1 = new TRadioGroup(Client, "Aktywny klawisz", {"Enter", "Pause", "Insert", "Esc"});
    L.Then([this] { RadioGroup1->Arrange(layout_, wxRect(8, 224, 105, 113)); });
    RadioGroup1->SetSelection(0);

    GroupBox3 = MakeGroup(L, Client, "Aktywna mysz/port", wxRect(120, 224, 105, 113));
    L.Fit(GroupBox3, 105 - 16);
    Button8 = MakeButton(L, Client, "Użyj por&tu", 120 + 16, 224 + 32);
    Button7 = MakeButton(L, Client, "Użyj &myszy", 120 + 16, 224 + 72);

    Bevel1 = MakeGroup(L, Client, "", wxRect(232, 229, 297, 108));
    Button2 = MakeButton(L, Client, "&Ustaw czas", 256, 256);
    Button3 = MakeButton(L, Client, "&Pokaż log", 344, 256);
    Button4 = MakeButton(L, Client, "&O programie", 432, 256);
    Button5 = MakeButton(L, Client, "Zapi&suj do", 256, 296);
    Button6 = MakeButton(L, Client, "Mój &log", 344, 296);
    Button1 = MakeButton(L, Client, "&Zamknij", 432, 296);

    StatusBar1 = new TCaptionPanel(Client, wxString::FromUTF8("Czasy są zapisywane do: "), wxDefaultPosition,
                                   wxDefaultSize, TCaptionPanel::bvLowered);
    L.Place(StatusBar1, wxRect(0, 342, 537, 21));

    L.ClientSize(wxSize(537, 363));
    Centre(wxBOTH);

    Bind(wxEVT_TIMER, &TForm1::Timer1Timer, this);
    Bind(wxEVT_ICONIZE, &TForm1::FormIconize, this);
    reportTimer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { ShowPendingReport(); });
    captionTimer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        if (IsIconized()) ShowCaptionSecond();
    });
    Bind(wxEVT_CHAR_HOOK, &TForm1::FormKeyDown, this);
    Bind(wxEVT_CLOSE_WINDOW, &TForm1::FormClose, this);
    Button1->Bind(wxEVT_BUTTON, &TForm1::Button1Click, this);
    Button2->Bind(wxEVT_BUTTON, &TForm1::Button2Click, this);
    Button3->Bind(wxEVT_BUTTON, &TForm1::Button3Click, this);
    Button4->Bind(wxEVT_BUTTON, &TForm1::Button4Click, this);
    Button5->Bind(wxEVT_BUTTON, &TForm1::Button5Click, this);
    Button6->Bind(wxEVT_BUTTON, &TForm1::Button6Click, this);
    Button7->Bind(wxEVT_BUTTON, &TForm1::Button7Click, this);
    Button8->Bind(wxEVT_BUTTON, &TForm1::Button8Click, this);
    Panel2->Bind(wxEVT_LEFT_UP, &TForm1::Panel2Click, this);
    fontDialogFont_ = wxFont(wxSize(0, 64), wxFONTFAMILY_ROMAN, wxFONTSTYLE_ITALIC, wxFONTWEIGHT_NORMAL, false,
                             "Times New Roman", wxFONTENCODING_CP1250);
    fontDialogColour_ = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT);

    SetIcon(wxIcon(tempix_xpm));
    if (services_.Shell) services_.Shell->Owner = GetHandle();  // files and help open owned by this window
    // Records kept from an earlier run are written first, before any capture of this one.
    records_ = std::make_unique<TRecordKeeper>(services_.DataDir.empty() ? "" : services_.DataDir + "unwritten.dat",
                                               [this] { CallAfter([this] { RecordsChanged(); }); });
    if (std::string damaged = records_->TakeDamagedRecovery(); !damaged.empty())
        CallAfter([this, damaged] {
            services_.Dialogs->Message("Plik z niezapisanymi czasami jest uszkodzony lub nieczytelny: " + damaged +
                                           ".\r\nCzasy, które dało się z niego odczytać, zostaną zapisane do logów.",
                                       "Niezapisane czasy", TMsgIcon::Error);
        });
    Guarded(*services_.Dialogs, [this] { FormCreate(); });
    RadioGroup1->SetFocus();
}

void TForm1::FormCreate() {
    Timer1.Start(Panel1);
    paths_ = TDataPaths::Build(services_.FilesDir.empty() ? services_.ExeDir : services_.FilesDir);
    paths_.HelpFile = services_.ExeDir + "TEMPIX.HLP";
    StatusBar1->SetCaption(wxString::FromUTF8("Czasy są zapisywane do: " + paths_.TimeLog));
    LoadDisplaySettings();
    Panel2->SetToolTip(Panel2->GetFont().GetFaceName());
}

void TForm1::LoadDisplaySettings() {
    TDisplaySettings s = app::LoadDisplaySettings(paths_.DisplaySettings);
    TDisplayFont font = displayFont_;
    if (font.Name.empty()) font = DisplayFontOf(Panel2->GetFont(), clWindowText, Panel2->GetDPI().y, 238);
    ApplyDisplaySettings(s, font, Panel2->GetDPI().y);
    SetDisplayFont(font);
    RadioGroup1->SetSelection(KeyChoiceOf(s.KeyIndex));
}

void TForm1::SetDisplayFont(const TDisplayFont& font) {
    displayFont_ = font;
    Panel2->SetFont(WxFontOf(font));
    Panel2->SetForegroundColour(ColourOf(font.Color));
    Panel2->Refresh();
}

void TForm1::Timer1Timer(wxTimerEvent&) {
    ++frameCount_;
    ShowClock();
}

void TForm1::ShowClock() {
    ShowCaption();
    Panel1->SetCaption(clock_.Texts().LiveText);
}

void TForm1::ShowCaption() {
    bool zoneFailed = false;
    std::string zoneError;
    try {
        clock_.Tick();
    } catch (const ETimeZoneError& e) {
        zoneFailed = true;
        zoneError = e.what();
    }
    const TTickTexts& t = clock_.Texts();
    ApplicationTitle() = t.AppTitle;
    if (zoneFailed) {
        // Shown outside the tick so that the clock keeps running under the message box.
        CallAfter([this, zoneError] { ReportError(*services_.Dialogs, std::runtime_error(zoneError)); });
        return;
    }
    if (t.Caption.empty()) return;
    wxString caption = wxString::FromUTF8(t.Caption);
    if (caption != GetTitle()) SetTitle(caption);
}

// Minimised, the window draws nothing and its frames stop; only its caption, which the taskbar and
// the window lists show, keeps the second, refreshed once a second just after it turns. Restored, it
// shows the time of that moment before its first frame is painted.
void TForm1::FormIconize(wxIconizeEvent& event) {
    event.Skip();
    if (event.IsIconized()) {
        Timer1.Stop();
        ShowCaptionSecond();
    } else if (!Timer1.IsRunning() && !IsBeingDeleted()) {
        captionTimer_.Stop();
        ShowClock();
        Timer1.Start(Panel1);
    }
}

void TForm1::ShowCaptionSecond() {
    ShowCaption();
    captionTimer_.StartOnce(static_cast<int>(1000 - wxGetUTCTimeMillis().GetValue() % 1000) + 5);
}

void TForm1::CaptureRoutine(TTriggerTime when) {
    const TCaptureTexts texts = CaptureTextsAt(when, clock_.FormatSettings().TimeSeparator);
    Panel2->SetCaption(wxString::FromUTF8(texts.Time));
    captureKey_ = WXK_NONE;
    // The main time log first, then the user log file: each in its own queue, so that one that
    // cannot be written holds up neither the other nor the window.
    const std::string record = CaptureRecord(Panel2->Caption().utf8_string(), texts.Date);
    records_->Add(paths_.TimeLog, record);
    records_->Add(paths_.UserLog, record);
    ShowWaitingRecords();
}

// A failed write is told once an episode: the first failure's report, and until every record is
// written, the count of those waiting beside the stopped time.
void TForm1::RecordsChanged() {
    ShowWaitingRecords();
    std::optional<TLogFailure> failure = records_->TakeFailure();
    if (!failure || pendingReport_) return;
    pendingReport_ = std::make_exception_ptr(std::runtime_error(FailureReportText(*failure)));
    reportKey_ = captureKey_;
    reportWaitUntil_ = wxGetLocalTimeMillis() + 10000;
    ShowPendingReport();
}

void TForm1::ShowWaitingRecords() {
    const TRecordKeeper::TState state = records_->State();
    std::string label = "Czas zatrzymany";
    if (state.Failing && state.Waiting > 0) label += " – czeka na zapis: " + std::to_string(state.Waiting);
    const wxString text = wxString::FromUTF8(label);
    if (GroupBox2->GetLabel() != text) GroupBox2->SetLabel(text);
}

void TForm1::FocusKeyChoice() { RadioGroup1->SetFocus(); }

// A box must not open while the key press is still being delivered: GTK hands the same press to
// the window again once a box shown from inside it closes (a second capture, a second box), and on
// Windows the keystroke's own messages close it unseen. Nor while the key is held: its repeats would
// close it. So the capture happens at once, and its error report once the key is up; captures that
// fail before then share that one report.
void TForm1::FormKeyDown(wxKeyEvent& event) {
    const TTriggerTime when = InputEventTime(event, *services_.Clock);
    int key = VirtualKeyOf(event);
    if (key != 0 && key == CaptureKeyCode(RadioGroup1->GetSelection())) {
        try {
            CaptureRoutine(when);
            captureKey_ = static_cast<wxKeyCode>(event.GetKeyCode());
        } catch (...) {
            if (!pendingReport_) {
                pendingReport_ = std::current_exception();
                reportKey_ = static_cast<wxKeyCode>(event.GetKeyCode());
                reportWaitUntil_ = wxGetLocalTimeMillis() + 10000;
                CallAfter([this] { ShowPendingReport(); });
            }
        }
    }
    if (key == VK_F1) CallAfter([this] { ShowHelp(services_, paths_.HelpFile); });
    if (NavigationKey(event)) return;
    // A Windows radio button ignores Enter; a GTK one takes it as a click, which would select a key
    // where none is chosen and costs the next frames a slow redraw of the indicator.
    if (key == VK_RETURN && RadioGroup1->HasFocusInside()) return;
    event.Skip();
}

// The buttons' Alt mnemonics and the key choice's arrow keys, handled here the same way on both
// builds: the Windows dialog manager does not reach the radio buttons inside their group box, so
// there the mnemonics did nothing and the arrows moved only the focus. A button's window opens once
// the key has been handled, as the error report does.
bool TForm1::NavigationKey(const wxKeyEvent& event) {
    const int code = event.GetKeyCode();
    if (event.GetModifiers() == wxMOD_ALT && code < 128 && std::isalpha(code)) {
        for (wxButton* b : {Button1, Button2, Button3, Button4, Button5, Button6, Button7, Button8}) {
            const wxString label = b->GetLabel();
            const int amp = label.Find('&');
            if (amp == wxNOT_FOUND || static_cast<size_t>(amp) + 1 >= label.length()) continue;
            if (wxToupper(label[static_cast<size_t>(amp) + 1]) != wxToupper(static_cast<wxChar>(code))) continue;
            CallAfter([b] {
                wxCommandEvent click(wxEVT_BUTTON, b->GetId());
                click.SetEventObject(b);
                b->ProcessWindowEvent(click);
            });
            return true;
        }
        return false;
    }
    if (event.GetModifiers() != wxMOD_NONE || !RadioGroup1->HasFocusInside()) return false;
    switch (code) {
    case WXK_UP:
    case WXK_LEFT: RadioGroup1->MoveSelection(-1); return true;
    case WXK_DOWN:
    case WXK_RIGHT: RadioGroup1->MoveSelection(1); return true;
    default: return false;
    }
}

void TForm1::ShowPendingReport() {
    if (!pendingReport_) return;
    // The key reads as up as soon as it is let go, while its last repeats may still wait in the
    // queue: the box would take them, and close at once. So it waits for them to be handled too.
    // A key that never reads as released (a lost key-up) holds the report back for 10 s at most.
    const bool keyDown = reportKey_ != WXK_NONE && wxGetKeyState(reportKey_);
    if ((keyDown || InputWaiting()) && wxGetLocalTimeMillis() < reportWaitUntil_) {
        reportTimer_.StartOnce(10);
        return;
    }
    std::exception_ptr error = std::exchange(pendingReport_, nullptr);
    ReportError(*services_.Dialogs, error);
}

void TForm1::FormClose(wxCloseEvent& event) {
    bool saved = Guarded(*services_.Dialogs, [this] {
        SaveDisplaySettings(paths_.DisplaySettings, displayFont_, RadioGroup1->GetSelection());
    });
    // A save that fails again at every close (a folder or a file the user may not write) must not
    // keep the program from closing: the user decides. No keeps it open, the clock running, and the
    // next close tries again.
    if (!saved && event.CanVeto() &&
        !services_.Dialogs->Ask("Nie można zapisać ustawień wyświetlania do pliku " + paths_.DisplaySettings +
                                    ".\r\nCzy mimo to zamknąć program bez zapisania ustawień?",
                                "Zamykanie programu")) {
        event.Veto();
        return;
    }
    // Records on their way to a slow disk get a moment; those that cannot be written are kept for
    // the next start, but the user decides whether to leave them.
    if (!records_->WaitWritten(std::chrono::seconds(2)) && event.CanVeto()) {
        const size_t waiting = records_->State().Waiting;
        if (waiting > 0 && !services_.Dialogs->Ask("Czasy, których nie udało się jeszcze zapisać: " +
                                                       std::to_string(waiting) +
                                                       ".\r\nZostaną zapisane przy następnym uruchomieniu programu."
                                                       "\r\nCzy mimo to zamknąć program?",
                                                   "Niezapisane czasy")) {
            event.Veto();
            return;
        }
    }
    Timer1.Stop();
    captionTimer_.Stop();
    Destroy();
}

void TForm1::Button1Click(wxCommandEvent&) { Close(); }

void TForm1::Button2Click(wxCommandEvent&) {
    Guarded(*services_.Dialogs, [this] {
        timesync::TForm2 form(this, *this);
        form.ShowModal();
    });
    FocusKeyChoice();  // again, now that this window is enabled: the window's own close came too early
}

void TForm1::ShowLog(const std::string& path, const char* missingText) {
    if (!services_.Shell->Open(path))
        services_.Dialogs->Message(std::string(missingText) + path, "Brak pliku", TMsgIcon::Error);
    FocusKeyChoice();
}

void TForm1::Button3Click(wxCommandEvent&) { ShowLog(paths_.TimeLog, "Brak pliku logów "); }

void TForm1::Button6Click(wxCommandEvent&) { ShowLog(paths_.UserLog, "Brak pliku logów użytkownika "); }

void TForm1::Button5Click(wxCommandEvent&) {
    if (std::optional<std::string> path = services_.Dialogs->SaveFileName()) paths_.UserLog = *path;
    FocusKeyChoice();
}

void TForm1::Button4Click(wxCommandEvent&) {
    const char* crlf = "\r\n";
    std::string text = std::string(crlf) + crlf + "Wszystkie złapane czasy zapisywane są do pliku:" + crlf + paths_.TimeLog + crlf +
                       "Wszystkie poprawki czasu zapisywane są do pliku:" + crlf + paths_.CorrectionsLog + crlf +
                       "Scieżka do pliku użytkownika: " + crlf + paths_.UserLog + crlf +
                       "Program do synchronizacji daty i czasu używa serwerów czasu," + crlf +
                       "których adresy znajdują się w pliku: " + crlf + paths_.ServerList + crlf + crlf +
                       "Klawisz F1 otwiera POMOC";
    services_.Dialogs->Message(text, "O programie Tempix ver 1.2", TMsgIcon::Information);
    FocusKeyChoice();
}

void TForm1::Button7Click(wxCommandEvent&) {
    services_.Dialogs->Message("Przechodzisz do trybu pracy za pomocą myszki.\r\n"
                               "Kiedy klikniesz OK, mysz zostanie zablokowana,\r\n"
                               "pomiar jest możliwy tylko lewym klawiszem myszy.\r\n"
                               "Aby zakończyć pomiar naciśnij klawisze Shift+F9.",
                               "Zmiana trybu pracy", TMsgIcon::Information);
    TForm3 lock(this, *this);
    lock.ShowModal();
    FocusKeyChoice();
}

void TForm1::Panel2Click(wxMouseEvent& e) {
    if (services_.Dialogs->ChooseFont(fontDialogFont_, fontDialogColour_))
        SetDisplayFont(DisplayFontOf(fontDialogFont_, ColorValueOf(fontDialogColour_), Panel2->GetDPI().y,
                                     displayFont_.Charset));
    Panel2->SetToolTip(Panel2->GetFont().GetFaceName());
    e.Skip();
}

void TForm1::Button8Click(wxCommandEvent&) {
    Guarded(*services_.Dialogs, [this] {
        serial::TForm4 form(this, *this);
        if (form.Created()) form.ShowModal();
    });
    FocusKeyChoice();
}

}  // namespace app
