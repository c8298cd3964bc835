#include "serial/Unit4.h"

#include "app/FitText.h"
#include "base/TextFile.h"

namespace serial {

namespace {

wxString U(const std::string& s) { return wxString::FromUTF8(s); }

}  // namespace

TForm4::TForm4(wxWindow* owner, app::TMainWindowLink& main)
    : wxDialog(owner, wxID_ANY, wxEmptyString, wxPoint(50, 50), wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      main_(main),
      services_(main.Services()) {
    SetFont(wxFont(8, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, "MS Sans Serif"));

    ComPort1 = std::make_unique<TComPort>(*services_.ComDriver, base::TCallQueue::Main(),
                                          services_.Clock ? *services_.Clock : base::SystemClock());
    ComPort1->SetPort("COM1");
    ComPort1->FlowControl.Set(&TComFlowControl::OutCTSFlow, true);
    ComPort1->FlowControl.Set(&TComFlowControl::ControlRTS, rtsHandshake);
    ComPort1->OnAfterOpen = [this](TCustomComPort& p) { ComPort1AfterOpen(p); };
    ComPort1->OnAfterClose = [this](TCustomComPort& p) { ComPort1AfterClose(p); };
    ComPort1->OnCTSChange = [this](TCustomComPort& p, bool on) { ComPort1CTSChange(p, on); };
    ComPort1->OnError = [this](TCustomComPort& p, TComErrors e) { ComPort1Error(p, e); };
    ComPort1->ReportError = StandardErrorReport();

    GroupBox1 = new wxStaticBox(this, wxID_ANY, "Ustawienia portu", wxPoint(8, 8), wxSize(193, 217));
    created_ = app::Guarded(*services_.Dialogs, [this] {
        ComComboBox5 = Selector("Port COM:", 24, cpPort);
        ComComboBox1 = Selector("Szybkość:", 56, cpBaudRate);
        ComComboBox2 = Selector("Bity danych:", 88, cpDataBits);
        ComComboBox3 = Selector("Sterowanie:", 120, cpFlowControl);
        ComComboBox4 = Selector("Parzystość:", 152, cpParity);
        ComComboBox6 = Selector("Bity stopu:", 184, cpStopBits);
    });
    // Below the selectors: a Windows box drawn over later siblings leaves them black until clicked.
    GroupBox1->Lower();
    if (!created_) return;
    ComComboBox5->OnChange = [this] { ComComboBox5Change(); };

    (new wxStaticBox(this, wxID_ANY, wxEmptyString, wxPoint(8, 232), wxSize(193, 41)))->Lower();
    app::FitText(new wxStaticText(this, wxID_ANY, "Stan przycisku (ON/OFF):", wxPoint(32, 248)), 160 - 32 - 2);
    ComLed1 = new TComLed(this, wxPoint(160, 240));
    ComLed1->Model.SetLedSignal(lsCTS);
    ComLed1->SetKind(lkRedLight);
    ComLed1->SetComPort(ComPort1.get());
    ComLed1->SetToolTip("CTS");
    Button2 = new wxButton(this, wxID_ANY, "&Start", wxPoint(24, 288), wxSize(75, 25));
    Button1 = new wxButton(this, wxID_ANY, "&Zamknij", wxPoint(112, 288), wxSize(75, 25));
    Button1->MoveBeforeInTabOrder(Button2);

    SetClientSize(210, 321);
    Move(50, 50);

    Button2->Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) { Button2Click(e); });
    Button1->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); });
    Bind(wxEVT_CHAR_HOOK, &TForm4::FormKeyDown, this);
    Bind(wxEVT_CLOSE_WINDOW, &TForm4::FormClose, this);

    FormCreate();
}

TForm4::~TForm4() {
    // The port goes first; its removal notices unbind the selectors and the LED.
    ComPort1.reset();
}

std::function<void(const std::exception&)> TForm4::StandardErrorReport() {
    return [this](const std::exception& e) { app::ReportError(*services_.Dialogs, e); };
}

TComComboBox* TForm4::Selector(const char* label, int top, TComProperty kind) {
    auto* text = new wxStaticText(this, wxID_ANY, U(label), wxPoint(8 + 16, 8 + top + 8));
    app::FitText(text, 80 - 16 - 2);  // up to the selector
    auto* box = new TComComboBox(this, wxPoint(8 + 80, 8 + top), wxSize(100, 21), services_.ListPorts);
    box->ReportError = StandardErrorReport();
    box->SetComProperty(kind);
    box->SetComPort(ComPort1.get());
    box->SetAutoApply(true);
    return box;
}

void TForm4::FormCreate() {
    LoadSettings();
    // What the selectors show is what the line runs with: every loaded selection reaches the port
    // before it can open (a button wired from RTS depends on the flow control's RTS level).
    for (TComComboBox* box : {ComComboBox5, ComComboBox1, ComComboBox2, ComComboBox3, ComComboBox4, ComComboBox6})
        box->ApplySelection();
    ComComboBox5Change();
}

void TForm4::LoadSettings() {
    TComComboBox* boxes[] = {ComComboBox5, ComComboBox1, ComComboBox2, ComComboBox3, ComComboBox4, ComComboBox6};
    TPortSettingsLines lines;
    try {
        lines = ReadPortSettings(main_.Paths().PortSettings);
    } catch (const base::EInOutError&) {
        lines = {"COM1", "9600", "8", "Hardware", "None", "1"};
    }
    for (size_t i = 0; i < 6; ++i) boxes[i]->SetText(lines[i]);
}

void TForm4::SaveSettings() {
    WritePortSettings(main_.Paths().PortSettings, {ComComboBox5->Text(), ComComboBox1->Text(), ComComboBox2->Text(),
                                                   ComComboBox3->Text(), ComComboBox4->Text(), ComComboBox6->Text()});
}

void TForm4::ComComboBox5Change() {
    SetTitle(U("Port " + ComComboBox5->Text() + " (" + main_.StoppedText() + ")"));
}

void TForm4::PortAccessFailed() {
    services_.Dialogs->Message("Brak dostępu do portu " + ComComboBox5->Text(), "Błąd", app::TMsgIcon::Error);
}

void TForm4::Button2Click(wxCommandEvent&) {
    try {
        if (ComPort1->Connected()) ComPort1->ClosePort();
        else ComPort1->OpenPort();
    } catch (const std::exception&) {
        PortAccessFailed();
    }
}

void TForm4::ComPort1AfterOpen(TCustomComPort&) { Button2->SetLabel(U("Z&atrzymaj")); }

void TForm4::ComPort1AfterClose(TCustomComPort&) { Button2->SetLabel("&Start"); }

void TForm4::ComPort1CTSChange(TCustomComPort& port, bool onOff) {
    if (!onOff) return;
    try {
        main_.CaptureRoutine(port.LineChangeTime());
    } catch (const std::exception& e) {
        // Shown after the port's report has returned, so the event thread is not held by the box
        // and the next pulse captures again; a burst of failures shows one box at a time.
        if (!captureErrorPending_) {
            captureErrorPending_ = true;
            CallAfter([this, error = std::runtime_error(e.what())] {
                app::ReportError(*services_.Dialogs, error);
                captureErrorPending_ = false;
            });
        }
    }
    ComComboBox5Change();
}

void TForm4::ComPort1Error(TCustomComPort&, TComErrors errors) {
    if (!(errors & erIO)) return;
    // The device has gone: close the port (its reports end here) and tell the user afterwards.
    CallAfter([this] {
        if (ComPort1->Connected()) {
            try {
                ComPort1->ClosePort();
            } catch (const std::exception&) {
            }
        }
        PortAccessFailed();
    });
}

void TForm4::FormKeyDown(wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_F1) app::ShowHelp(services_, main_.Paths().HelpFile);
    e.Skip();
}

void TForm4::FormClose(wxCloseEvent& e) {
    bool closed = app::Guarded(*services_.Dialogs, [this] {
        if (ComPort1->Connected()) ComPort1->ClosePort();
    });
    // A port that would not close, or a save that failed, keeps the window open with its selections;
    // closing again tries again.
    if (closed && !app::Guarded(*services_.Dialogs, [this] { SaveSettings(); })) closed = false;
    if (!closed && e.CanVeto()) {
        e.Veto();
        return;
    }
    main_.FocusKeyChoice();
    if (IsModal()) EndModal(wxID_OK);
    else Hide();
}

}  // namespace serial
