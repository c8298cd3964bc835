#include "serial/Unit4.h"

#include <algorithm>
#include <stdexcept>

#include "base/Format.h"
#include "base/TextFile.h"

namespace serial {

namespace {

wxString U(const std::string& s) { return wxString::FromUTF8(s); }

// A port whose adapter never reports CTS is not opened: nothing could be captured from it, and the
// CTS level such a driver shows is not the line's.
class ENoCts : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace

TForm4::TForm4(wxWindow* owner, app::TMainWindowLink& main)
    : wxDialog(owner, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      main_(main),
      services_(main.Services()),
      layout_(this) {
    SetFont(app::WindowFont());

    ComPort1 = std::make_unique<TComPort>(*services_.ComDriver, base::TCallQueue::Main(),
                                          services_.Clock ? *services_.Clock : base::SystemClock());
    ComPort1->SetPort("COM1");
    ComPort1->FlowControl.Set(&TComFlowControl::OutCTSFlow, true);
    ComPort1->FlowControl.Set(&TComFlowControl::ControlRTS, rtsHandshake);
    ComPort1->OnBeforeOpen = [this](TCustomComPort& p) {
        if (!ReportsCts(services_.ComDriver->Describe(p.Port()).Family))
            throw ENoCts("Adapter portu " + p.Port() + " nie zgłasza stanu linii CTS, więc nie przyjdzie z niego żaden pomiar.");
    };
    ComPort1->OnAfterOpen = [this](TCustomComPort& p) { ComPort1AfterOpen(p); };
    ComPort1->OnAfterClose = [this](TCustomComPort& p) { ComPort1AfterClose(p); };
    ComPort1->OnCTSChange = [this](TCustomComPort& p, bool on) { ComPort1CTSChange(p, on); };
    ComPort1->OnError = [this](TCustomComPort& p, TComErrors e) { ComPort1Error(p, e); };
    ComPort1->ReportError = StandardErrorReport();

    GroupBox1 = new wxStaticBox(this, wxID_ANY, "Ustawienia portu");
    created_ = app::Guarded(*services_.Dialogs, [this] {
        ComComboBox5 = Selector("Port COM:", cpPort);
        ComComboBox1 = Selector("Szybkość:", cpBaudRate);
        ComComboBox2 = Selector("Bity danych:", cpDataBits);
        ComComboBox3 = Selector("Sterowanie:", cpFlowControl);
        ComComboBox4 = Selector("Parzystość:", cpParity);
        ComComboBox6 = Selector("Bity stopu:", cpStopBits);
    });
    // Below the selectors: a Windows box drawn over later siblings leaves them black until clicked.
    GroupBox1->Lower();
    if (!created_) return;
    ComComboBox5->OnChange = [this] {
        ComComboBox5Change();
        ShowAdapter();
    };

    lockoutFrame_ = new wxStaticBox(this, wxID_ANY, wxEmptyString);
    lockoutLabel_ = new wxStaticText(this, wxID_ANY, "Blokada po impulsie (ms):");
    ComboBox1 = new wxChoice(this, wxID_ANY);
    for (const std::string& item : CtsLockoutItems()) ComboBox1->Append(U(item));
    ComboBox1->SetSelection(0);
    Label1 = new wxStaticText(this, wxID_ANY, wxEmptyString);
    ShowIgnored();
    Label2 = new wxStaticText(this, wxID_ANY, wxEmptyString);
    Label3 = new wxStaticText(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                              wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);

    ledFrame_ = new wxStaticBox(this, wxID_ANY, wxEmptyString);
    ledLabel_ = new wxStaticText(this, wxID_ANY, "Stan przycisku (ON/OFF):");
    ComLed1 = new TComLed(this, wxDefaultPosition);
    ComLed1->Model.SetLedSignal(lsCTS);
    ComLed1->SetKind(lkRedLight);
    ComLed1->SetComPort(ComPort1.get());
    ComLed1->SetToolTip("CTS");
    Button2 = new wxButton(this, wxID_ANY, "&Start");
    Button1 = new wxButton(this, wxID_ANY, "&Zamknij");
    Button1->MoveBeforeInTabOrder(Button2);
    // The frames below what they frame, as the group box.
    lockoutFrame_->Lower();
    ledFrame_->Lower();
    PlaceControls();
    Move(layout_.S(wxPoint(50, 50)));

    Button2->Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) { Button2Click(e); });
    Button1->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); });
    ComboBox1->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { ComboBox1Change(); });
    Bind(wxEVT_CHAR_HOOK, &TForm4::FormKeyDown, this);
    Bind(wxEVT_CLOSE_WINDOW, &TForm4::FormClose, this);

    FormCreate();
}

// The layout at 96 DPI. Where the toolkit's drop-down lists need more height than the 21 pixels
// they are drawn with (GTK's), every row gets that much more and the window grows with them.
void TForm4::PlaceControls() {
    app::TLayout& L = layout_;
    const auto boxes = Selectors();
    int needed = ComboBox1->GetBestSize().y;
    for (TComComboBox* box : boxes) needed = std::max(needed, box->GetBestSize().y);
    const int h = std::max(21, L.Unscaled(needed)), grow = h - 21;
    // Where a label runs wider than its place (a face wider than the one the layout was drawn
    // for), what stands right of it moves over, and the frames and the window widen with it. The
    // text is measured: GTK asks more room of a label not yet shown than its text takes.
    auto over = [&](wxStaticText* label, int width96) {
        return std::max(0, L.Unscaled(label->GetTextExtent(label->GetLabel()).x + 2) - width96);
    };
    int labelsOver = 0;
    for (wxStaticText* label : labels_) labelsOver = std::max(labelsOver, over(label, 80 - 16 - 2));
    const int wider = std::max({labelsOver, over(lockoutLabel_, 193 - 16), over(ledLabel_, 160 - 32 - 2)});
    const int frameWidth = 193 + wider;
    L.Place(GroupBox1, wxRect(8, 8, frameWidth, 233 + 6 * grow));
    for (size_t i = 0; i < 6; ++i) {
        const int top = 8 + 24 + static_cast<int>(i) * (32 + grow);
        L.Move(labels_[i], wxPoint(8 + 16, top + 8 + grow / 2));
        L.Fit(labels_[i], 80 - 16 - 2 + labelsOver);  // up to the selector
        L.Place(boxes[i], wxRect(8 + 80 + labelsOver, top, 100, h));
    }
    L.Place(Label3, wxRect(16, 216 + 6 * grow, frameWidth - 16, 14));  // the adapter, below the selectors
    // The lockout: its label, the selector below it, and below that what it has left out. The label
    // keeps below the frame's top band, which a Windows group box paints over what lies there.
    const int lockoutTop = 248 + 6 * grow;
    L.Place(lockoutFrame_, wxRect(8, lockoutTop, frameWidth, 84 + grow));
    L.Move(lockoutLabel_, wxPoint(16, lockoutTop + 16));
    L.Fit(lockoutLabel_, frameWidth - 16);
    L.Place(ComboBox1, wxRect(16, lockoutTop + 34, 80, h));
    L.Move(Label1, wxPoint(16, lockoutTop + 63 + grow));
    const int ledTop = lockoutTop + 91 + grow;
    L.Place(ledFrame_, wxRect(8, ledTop, frameWidth, 41));
    L.Move(ledLabel_, wxPoint(32, ledTop + 16));
    L.Fit(ledLabel_, 160 - 32 - 2 + wider);
    L.Place(ComLed1, wxRect(160 + wider, ledTop + 8, 25, 25));
    L.Place(Label2, wxRect(16, ledTop + 46, frameWidth - 8, 28));
    const int buttonTop = ledTop + 80;
    L.Place(Button2, wxRect(24, buttonTop, 75, 25));
    L.Place(Button1, wxRect(112, buttonTop, 75, 25));
    L.ClientSize(wxSize(210 + wider, buttonTop + 33));
}

TForm4::~TForm4() {
    returnWatch_.reset();  // its thread calls into this window
    // The port goes first; its removal notices unbind the selectors and the LED.
    ComPort1.reset();
}

std::function<void(const std::exception&)> TForm4::StandardErrorReport() {
    return [this](const std::exception& e) { app::ReportError(*services_.Dialogs, e); };
}

TComComboBox* TForm4::Selector(const char* label, TComProperty kind) {
    labels_.push_back(new wxStaticText(this, wxID_ANY, U(label)));
    auto* box = new TComComboBox(this, wxDefaultPosition, wxDefaultSize, services_.ListPorts);
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
    for (TComComboBox* box : Selectors()) box->ApplySelection();
    ComComboBox5Change();
    ShowAdapter();
}

void TForm4::LoadSettings() {
    const auto boxes = Selectors();
    TPortSettingsLines lines;
    try {
        lines = ReadPortSettings(main_.Paths().PortSettings);
    } catch (const base::EInOutError&) {
        lines = {"COM1", "9600", "8", "Hardware", "None", "1"};
    }
    for (size_t i = 0; i < 6; ++i) boxes[i]->SetText(lines[i]);
    ComboBox1->SetStringSelection(U(ReadCtsLockout(main_.Paths().LockoutSettings)));
    ComboBox1Change();
}

void TForm4::SaveSettings() {
    WritePortSettings(main_.Paths().PortSettings, {ComComboBox5->Text(), ComComboBox1->Text(), ComComboBox2->Text(),
                                                   ComComboBox3->Text(), ComComboBox4->Text(), ComComboBox6->Text()});
    WriteCtsLockout(main_.Paths().LockoutSettings, ComboBox1->GetStringSelection().utf8_string());
}

void TForm4::ComboBox1Change() { lockout_.SetMs(std::stoi(ComboBox1->GetStringSelection().utf8_string())); }

void TForm4::ShowIgnored() { Label1->SetLabel(U("Pominięte impulsy: " + std::to_string(lockout_.Ignored()))); }

void TForm4::ComComboBox5Change() {
    SetTitle(U("Port " + ComComboBox5->Text() + " (" + main_.StoppedText() + ")"));
}

// What the system tells of the chosen port's adapter; for an FTDI whose latency timer holds line
// changes back, where to set it shorter.
void TForm4::ShowAdapter() {
    const TPortAdapter adapter = services_.ComDriver->Describe(ComComboBox5->Text());
    Label3->SetLabel(U(adapter.Name));
    Label3->SetToolTip(U(adapter.Name));
    if (returnWatch_) return;  // the line says what is waited for
    if (adapter.Family == TAdapterFamily::Ftdi && adapter.LatencyMs > kFtdiLatencyMaxMs)
        Label2->SetLabel(U("Opóźnienie FTDI " + std::to_string(adapter.LatencyMs) +
                           " ms; ustaw 1 ms:\nMenedżer urządzeń, Zaawansowane."));
    else
        Label2->SetLabel(wxEmptyString);
}

void TForm4::PortAccessFailed() {
    services_.Dialogs->Message("Brak dostępu do portu " + ComComboBox5->Text(), "Błąd", app::TMsgIcon::Error);
}

void TForm4::Button2Click(wxCommandEvent&) {
    if (returnWatch_) {  // a lost port waited for: "Z&atrzymaj" ends the wait
        EndWaiting();
        return;
    }
    Label2->SetLabel(wxEmptyString);  // what it said of an earlier loss
    try {
        if (ComPort1->Connected()) ComPort1->ClosePort();
        else ComPort1->OpenPort();
    } catch (const ENoCts& e) {
        services_.Dialogs->Message(e.what(), "Błąd", app::TMsgIcon::Error);
    } catch (const std::exception&) {
        PortAccessFailed();
    }
}

// While the port listens, nobody touches the PC: it must neither sleep nor blank.
void TForm4::ComPort1AfterOpen(TCustomComPort&) {
    Button2->SetLabel(U("Z&atrzymaj"));
    lockout_.Restart();
    ShowIgnored();
    if (services_.StayAwake) services_.StayAwake->Hold("Tempix mierzy czas z portu szeregowego " + ComPort1->Port());
}

void TForm4::ComPort1AfterClose(TCustomComPort&) {
    Button2->SetLabel("&Start");
    if (services_.StayAwake) services_.StayAwake->Release();
}

void TForm4::ComPort1CTSChange(TCustomComPort& port, bool onOff) {
    if (!onOff) return;
    // One runner, one record: the edges of the same pass that follow within the lockout, by their
    // own times, are counted and left out.
    if (!lockout_.Take(port.LineChangeMonotonicTime())) {
        ShowIgnored();
        return;
    }
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
    // The device has gone: close the port (its reports end here), wait for it to come back, and
    // tell the user.
    CallAfter([this] {
        if (ComPort1->Connected()) {
            try {
                ComPort1->ClosePort();
            } catch (const std::exception&) {
            }
        }
        WaitForReturn();
        PortAccessFailed();
    });
}

// A cable knocked out and pushed back in, an adapter reset by the system: the same port is opened
// again with the same settings as soon as the system tells of it. Until then the window says what
// it waits for, and "Z&atrzymaj" ends the wait.
void TForm4::WaitForReturn() {
    if (returnWatch_) return;
    returnWatch_ = services_.ComDriver->WatchReturn(ComPort1->Port(), [this] { CallAfter([this] { PortMayBeBack(); }); });
    if (!returnWatch_) return;
    lostAt_ = std::chrono::steady_clock::now();
    Button2->SetLabel(U("Z&atrzymaj"));
    Label2->SetLabel(U("Port utracony – czekam\nna jego powrót."));
}

void TForm4::PortMayBeBack() {
    if (!returnWatch_ || ComPort1->Connected()) return;
    try {
        ComPort1->OpenPort();
    } catch (const std::exception&) {
        return;  // not there yet, or not ready: the next change tries again
    }
    const double away = std::chrono::duration<double>(std::chrono::steady_clock::now() - lostAt_).count();
    returnWatch_.reset();
    Label2->SetLabel(U("Port wrócił po " + base::FormatFixed(away, 1, services_.Format.DecimalSeparator) +
                       " s;\nw tym czasie nie było pomiaru."));
}

void TForm4::EndWaiting() {
    returnWatch_.reset();
    Label2->SetLabel(wxEmptyString);
    Button2->SetLabel("&Start");
}

void TForm4::FormKeyDown(wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_F1) app::ShowHelp(services_, main_.Paths().HelpFile);
    e.Skip();
}

void TForm4::FormClose(wxCloseEvent& e) {
    returnWatch_.reset();
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
