#include "timesync/Unit2.h"

#include <wx/settings.h>
#include <wx/statbox.h>

#include "base/TextFile.h"
#include "timesync/ServerList.h"

namespace timesync {

namespace {

wxString U(const std::string& s) { return wxString::FromUTF8(s); }

wxButton* MakeButton(app::TLayout& layout, wxWindow* parent, const char* caption, int left, int width) {
    auto* b = new wxButton(parent, wxID_ANY, U(caption));
    layout.Place(b, wxRect(left, 352, width, 25));
    layout.Fit(b, width - 8);
    return b;
}

wxStaticText* MakeLabel(app::TLayout& layout, wxWindow* parent, const std::string& text, int left, int top) {
    auto* label = new wxStaticText(parent, wxID_ANY, U(text));
    layout.Move(label, wxPoint(left, top));
    return label;
}

}  // namespace

TForm2::TForm2(wxWindow* owner, app::TMainWindowLink& main)
    : wxDialog(owner, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX),
      main_(main),
      services_(main.Services()),
      layout_(this) {
    app::TLayout& L = layout_;
    SetFont(app::WindowFont());
    GroupBox1 = new wxStaticBox(this, wxID_ANY, "Serwery czasu");
    L.Place(GroupBox1, wxRect(8, 8, 473, 233));
    ValueListEditor1 = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                      wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_HRULES | wxLC_VRULES);
    L.Place(ValueListEditor1, wxRect(8 + 16, 8 + 24, 441, 193));
    ValueListEditor1->AppendColumn("Lokalizacja / Nazwa", wxLIST_FORMAT_LEFT, L.S(300));
    ValueListEditor1->AppendColumn("Adres serwera", wxLIST_FORMAT_LEFT, L.S(135));
    L.Then([this] {
        ValueListEditor1->SetColumnWidth(0, layout_.S(300));
        ValueListEditor1->SetColumnWidth(1, layout_.S(135));
        FitAddressColumn();
    });
    ValueListEditor1->InsertItem(0, wxEmptyString);

    LabeledEdit1Label = MakeLabel(L, this, "Serwer", 32, 272 - 16);
    LabeledEdit1 = new wxTextCtrl(this, wxID_ANY, kDefaultServer);
    L.Place(LabeledEdit1, wxRect(32, 272, 121, 21));
    LabeledEdit1->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    Label2 = MakeLabel(L, this, kConnectionLabel, 168, 256);
    Label1 = MakeLabel(L, this, kCorrectionLabel, 168, 280);
    Label3 = MakeLabel(L, this, kStratumLabel, 168, 304);
    Label3->SetCursor(wxCursor(wxCURSOR_HAND));
    ShowResultLabels(false);
    // The frame after what it frames, and below it: GTK looks for the tooltip of a label without a
    // window of its own in the first sibling under the pointer, which the frame would be.
    auto* resultFrame = new wxStaticBox(this, wxID_ANY, wxEmptyString);
    L.Place(resultFrame, wxRect(8, 248, 473, 81));
    resultFrame->Lower();

    L.Place(new wxStaticBox(this, wxID_ANY, wxEmptyString), wxRect(8, 336, 473, 57));
    Button2 = MakeButton(L, this, "&Synchronizuj", 104, 83);
    Button3 = MakeButton(L, this, "&Edycja listy", 200, 75);
    Button4 = MakeButton(L, this, "&Log poprawek", 288, 83);
    Button1 = MakeButton(L, this, "&Zamknij", 384, 75);
    LabeledEdit1->MoveAfterInTabOrder(Button1);

    L.ClientSize(wxSize(490, 402));
    CentreOnScreen(wxBOTH);  // on the screen, not over the main window

    Button2->Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) { Button2Click(e); });
    Button3->Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) { Button3Click(e); });
    Button4->Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) { Button4Click(e); });
    Button1->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Close(); });
    Label3->Bind(wxEVT_LEFT_UP, &TForm2::Label3Click, this);
    ValueListEditor1->Bind(wxEVT_LIST_ITEM_SELECTED, &TForm2::ValueListEditor1SelectCell, this);
    ValueListEditor1->Bind(wxEVT_SIZE, [this](wxSizeEvent& e) {
        CallAfter([this] { FitAddressColumn(); });
        e.Skip();
    });
    // A click selects its row first (the address changes, which paints the cue for the address box)
    // and then counts as a click in the grid.
    auto gridClick = [this](wxMouseEvent& e) {
        CallAfter([this] { AddressCue(false); });
        e.Skip();
    };
    ValueListEditor1->Bind(wxEVT_LEFT_DOWN, gridClick);
    // The generic list control of GTK takes its mouse events in inner windows.
    for (wxWindow* inner : ValueListEditor1->GetChildren()) inner->Bind(wxEVT_LEFT_DOWN, gridClick);
    LabeledEdit1->Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& e) {
        AddressCue(true);
        e.Skip();
    });
    LabeledEdit1->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { AddressCue(true); });
    Bind(wxEVT_CHAR_HOOK, &TForm2::FormKeyDown, this);
    Bind(wxEVT_CLOSE_WINDOW, &TForm2::FormClose, this);

    // Creating the client starts the socket stack; a failure there leaves the window unbuilt.
    IdSNTP1 = std::make_unique<TIdSNTP>(*services_.Clock);
    IdSNTP1->SetPort(123);
    IdSNTP1->SetReceiveTimeout(2500);
    app::Guarded(*services_.Dialogs, [this] { FormCreate(); });
}

void TForm2::FormCreate() {
    LoadServerList();
    SetTitle(U("Synchronizacja @ PC: " + IdSNTP1->LocalHostName()));
}

void TForm2::LoadServerList() {
    std::string bytes;
    try {
        bytes = base::ReadWholeFile(main_.Paths().ServerList);
    } catch (const base::EInOutError&) {
        services_.Dialogs->Message("Brak pliku " + main_.Paths().ServerList + " z danymi serwerów czasu.", "Brak pliku",
                                   app::TMsgIcon::Error);
        return;
    }
    std::vector<TServerRow> rows = ParseServerList(bytes);
    ValueListEditor1->DeleteAllItems();
    for (size_t i = 0; i < rows.size(); ++i) {
        long item = ValueListEditor1->InsertItem(static_cast<long>(i), U(rows[i].Name));
        ValueListEditor1->SetItem(item, 1, U(rows[i].Address));
    }
    FitAddressColumn();
}

// The address column takes what the name column leaves of the grid, room for a scroll bar kept,
// as the grid's last column does: 135 pixels would run under the scroll bar a long list brings.
void TForm2::FitAddressColumn() {
    int rest = ValueListEditor1->GetClientSize().x - ValueListEditor1->GetColumnWidth(0) -
               wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, ValueListEditor1);
    if (rest > 0 && rest < layout_.S(135)) ValueListEditor1->SetColumnWidth(1, rest);
}

void TForm2::ValueListEditor1SelectCell(wxListEvent& e) {
    LabeledEdit1->ChangeValue(ValueListEditor1->GetItemText(e.GetIndex(), 1));
    AddressCue(true);  // every change of the address, by mouse or keyboard
}

void TForm2::AddressCue(bool editing) {
    wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    LabeledEdit1->SetBackgroundColour(editing ? window : face);
    ValueListEditor1->SetBackgroundColour(editing ? face : window);
    LabeledEdit1->Refresh();
    ValueListEditor1->Refresh();
}

void TForm2::ShowResultLabels(bool enabled) {
    Label1->Enable(enabled);
    Label2->Enable(enabled);
    Label3->Enable(enabled);
}

void TForm2::Button2Click(wxCommandEvent&) {
    const std::string address = LabeledEdit1->GetValue().utf8_string();
    if (AddressHasBlank(address)) {
        services_.Dialogs->Message("W adresie serwera są niedozwolone znaki, np. spacja(e) na końcu.", "Adres serwera",
                                   app::TMsgIcon::Error);
        return;
    }
    try {
        IdSNTP1->SetHost(address);
        IdSNTP1->SetActive(true);
        if (IdSNTP1->SynchroniseClock()) {
            ShowResultLabels(true);
            Label3->SetToolTip(U("Wyjaśnij"));
            Label2->SetLabel(U(ConnectionText(IdSNTP1->Host(), IdSNTP1->LocalHostName())));
            std::string correction = CorrectionText(IdSNTP1->ClockOffset * 86400.0, services_.Clock->LocalNow(), services_.Format);
            Label1->SetLabel(U(correction));
            Label3->SetLabel(U(StratumText(IdSNTP1->Stratum, IdSNTP1->ReferenceSource)));
            AppendCorrection(main_.Paths().CorrectionsLog, correction, address);
            services_.Dialogs->Message("OK, poprawnie dokonano aktualizacji daty i czasu tego komputera.", "Synchronizacja",
                                       app::TMsgIcon::Information);
        } else {
            ShowResultLabels(false);
            Label3->UnsetToolTip();
            std::string text = "Synchronizacja zakończona niepowodzeniem, spróbuj ponownie.";
            app::TMsgIcon icon = app::TMsgIcon::Error;
            // The server answered and the system would not set the clock: say why, and what was measured.
            const std::string why = IdSNTP1->Refusal ? RefusalText(*IdSNTP1->Refusal, IdSNTP1->ClockOffset * 86400.0,
                                                                   services_.Format)
                                                     : "";
            if (!why.empty()) text += "\r\n" + why;
            if (IdSNTP1->Refusal == base::TClockRefusal::AutomaticSync) icon = app::TMsgIcon::Information;
            services_.Dialogs->Message(text, "Synchronizacja", icon);
        }
        IdSNTP1->SetActive(false);
    } catch (const std::exception&) {
        IdSNTP1->SetActive(false);
        ShowResultLabels(false);
        services_.Dialogs->Message("Problem z połączeniem do serwera, brak adresu lub sieci.", "Synchronizacja",
                                   app::TMsgIcon::Error);
    }
}

void TForm2::Button3Click(wxCommandEvent&) {
    if (!services_.Shell->Open(main_.Paths().ServerList))
        services_.Dialogs->Message("Brak pliku danych o serwerach " + main_.Paths().ServerList, "Brak pliku",
                                   app::TMsgIcon::Error);
    main_.FocusKeyChoice();
}

void TForm2::Button4Click(wxCommandEvent&) {
    if (!services_.Shell->Open(main_.Paths().CorrectionsLog))
        services_.Dialogs->Message("Brak pliku logów " + main_.Paths().CorrectionsLog, "Brak pliku", app::TMsgIcon::Error);
}

void TForm2::Label3Click(wxMouseEvent& e) {
    if (Label3->IsEnabled()) app::ShowHelp(services_, main_.Paths().HelpFile, "ID_Dodatek");
    e.Skip();
}

void TForm2::FormKeyDown(wxKeyEvent& e) {
    if (e.GetKeyCode() == WXK_F1) app::ShowHelp(services_, main_.Paths().HelpFile);
    e.Skip();
}

void TForm2::FormClose(wxCloseEvent&) {
    main_.FocusKeyChoice();
    if (IsModal()) EndModal(wxID_OK);
    else Hide();
}

}  // namespace timesync
