// The serial-port window: a push-button or light barrier on the CTS line captures the time.
#pragma once

#include <memory>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/MainWindow.h"
#include "serial/CPort.h"
#include "serial/CPortCtl.h"

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
    TComLed* ComLed1;
    wxButton* Button2;
    wxButton* Button1;
    std::unique_ptr<TComPort> ComPort1;

    void Button2Click(wxCommandEvent& = Dummy());
    void ComComboBox5Change();

private:
    static wxCommandEvent& Dummy() {
        static wxCommandEvent e;
        return e;
    }
    TComComboBox* Selector(const char* label, int top, TComProperty kind);
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

    app::TMainWindowLink& main_;
    app::TServices& services_;
    bool created_ = false;
    bool captureErrorPending_ = false;
};

}  // namespace serial
