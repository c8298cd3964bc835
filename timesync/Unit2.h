// The time-server window: pick a server, synchronise the PC clock, see and log the correction.
#pragma once

#include <memory>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/Layout.h"
#include "app/MainWindow.h"
#include "timesync/IdSNTP.h"

namespace timesync {

class TForm2 : public wxDialog {
public:
    TForm2(wxWindow* owner, app::TMainWindowLink& main);

    wxStaticBox* GroupBox1;
    wxListCtrl* ValueListEditor1;
    wxStaticText* LabeledEdit1Label;
    wxTextCtrl* LabeledEdit1;
    wxStaticText* Label2;
    wxStaticText* Label1;
    wxStaticText* Label3;
    wxButton* Button2;
    wxButton* Button3;
    wxButton* Button4;
    wxButton* Button1;
    std::unique_ptr<TIdSNTP> IdSNTP1;

    // A public Polish SNTP server, given as a dotted IPv4 address so that no lookup is needed.
    static constexpr const char* kDefaultServer = "194.146.251.100";

    void Button2Click(wxCommandEvent& = Dummy());
    void Button3Click(wxCommandEvent& = Dummy());
    void Button4Click(wxCommandEvent& = Dummy());
    void Label3Click(wxMouseEvent&);

private:
    static wxCommandEvent& Dummy() {
        static wxCommandEvent e;
        return e;
    }
    void FormCreate();
    void LoadServerList();
    void FitAddressColumn();
    void FormClose(wxCloseEvent&);
    void FormKeyDown(wxKeyEvent&);
    void ValueListEditor1SelectCell(wxListEvent&);
    void AddressCue(bool editing);
    void ShowResultLabels(bool enabled);

    app::TMainWindowLink& main_;
    app::TServices& services_;
    app::TLayout layout_;
};

}  // namespace timesync
