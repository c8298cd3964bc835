// The serial-port window: a push-button or light barrier on the CTS line captures the time.
#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <vector>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/Layout.h"
#include "app/MainWindow.h"
#include "serial/CPort.h"
#include "serial/CPortCtl.h"
#include "serial/CtsLockout.h"

namespace serial {

class TForm4 : public wxDialog {
public:
    TForm4(wxWindow* owner, app::TMainWindowLink& main);
    ~TForm4() override;

    // False when building the port list failed (already reported): the window is not to be shown.
    bool Created() const { return created_; }

    wxStaticBox* GroupBox1;
    TComComboBox* ComComboBox5;
    TComComboBox* ComComboBox1;
    TComComboBox* ComComboBox2;
    TComComboBox* ComComboBox3;
    TComComboBox* ComComboBox4;
    TComComboBox* ComComboBox6;
    wxChoice* ComboBox1;  // the lockout after a capture from CTS, in ms
    wxStaticText* Label1;  // how many edges it has ignored
    wxStaticText* Label2;  // a lost port: waiting for it, or back after how long
    wxStaticText* Label3;  // the chosen port's adapter, as the system names it
    TComLed* ComLed1;
    wxButton* Button2;
    wxButton* Button1;
    std::unique_ptr<TComPort> ComPort1;

    void Button2Click(wxCommandEvent& = Dummy());
    void ComComboBox5Change();
    void ComboBox1Change();
    const TCtsLockout& Lockout() const { return lockout_; }

private:
    static wxCommandEvent& Dummy() {
        static wxCommandEvent e;
        return e;
    }
    TComComboBox* Selector(const char* label, TComProperty kind);
    // The six port settings' selectors, in the order of usercom.dat's lines.
    std::array<TComComboBox*, 6> Selectors() const {
        return {ComComboBox5, ComComboBox1, ComComboBox2, ComComboBox3, ComComboBox4, ComComboBox6};
    }
    void PlaceControls();
    void ShowIgnored();
    // Where the port and the selectors send failures no handler here takes.
    std::function<void(const std::exception&)> StandardErrorReport();
    void FormCreate();
    void LoadSettings();
    void SaveSettings();
    void ComPort1AfterOpen(TCustomComPort&);
    void ComPort1AfterClose(TCustomComPort&);
    void ComPort1CTSChange(TCustomComPort&, bool onOff);
    void ComPort1Error(TCustomComPort&, TComErrors errors);
    void FormKeyDown(wxKeyEvent&);
    void FormClose(wxCloseEvent&);
    void PortAccessFailed();
    void ShowAdapter();
    void WaitForReturn();
    void PortMayBeBack();
    void EndWaiting();

    app::TMainWindowLink& main_;
    app::TServices& services_;
    app::TLayout layout_;
    std::vector<wxStaticText*> labels_;  // of the six selectors, in their order
    wxStaticText* lockoutLabel_ = nullptr;
    wxStaticText* ledLabel_ = nullptr;
    wxStaticBox* lockoutFrame_ = nullptr;
    wxStaticBox* ledFrame_ = nullptr;
    TCtsLockout lockout_;
    bool created_ = false;
    bool captureErrorPending_ = false;
    std::unique_ptr<TPortWatch> returnWatch_;  // while a lost port is waited for
    std::chrono::steady_clock::time_point lostAt_;
};

}  // namespace serial
