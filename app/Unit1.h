// The main window: live UTC clock, stopped-time display, key trigger and the buttons of every function.
#pragma once

#include <chrono>
#include <exception>
#include <memory>

#include <wx/button.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/statbox.h>
#include <wx/timer.h>

#include "app/CaptionPanel.h"
#include "app/DisplaySettings.h"
#include "app/FrameClock.h"
#include "app/Layout.h"
#include "app/MainWindow.h"
#include "app/RecordKeeper.h"
#include "app/RadioGroup.h"

namespace app {

// The Windows virtual-key code of a key event; 0 for keys the program never looks at.
int VirtualKeyOf(const wxKeyEvent& event);

class TForm1 : public wxFrame, public TMainWindowLink {
public:
    explicit TForm1(const TServices& services);

    wxPanel* Client;
    wxStaticBox* GroupBox1;
    TCaptionPanel* Panel1;
    wxStaticBox* GroupBox2;
    TCaptionPanel* Panel2;
    TRadioGroup* RadioGroup1;
    wxStaticBox* GroupBox3;
    wxButton* Button8;
    wxButton* Button7;
    wxStaticBox* Bevel1;
    wxButton* Button2;
    wxButton* Button3;
    wxButton* Button4;
    wxButton* Button5;
    wxButton* Button6;
    wxButton* Button1;
    TCaptionPanel* StatusBar1;
    TFrameClock Timer1;

    // TMainWindowLink
    void CaptureRoutine(TTriggerTime when) override;
    const TDataPaths& Paths() const override { return paths_; }
    std::string StoppedText() const override { return Panel2->Caption().utf8_string(); }
    void FocusKeyChoice() override;
    TServices& Services() override { return services_; }

    const TDisplayFont& DisplayFont() const { return displayFont_; }
    TLayout& WindowLayout() { return layout_; }
    const std::string& DateText() const { return clock_.Texts().DateText; }
    long FrameCount() const { return frameCount_; }
    TRecordKeeper& Records() { return *records_; }

private:
    void FormCreate();
    void Timer1Timer(wxTimerEvent&);
    void FormIconize(wxIconizeEvent&);
    void ShowClock();
    void ShowCaption();  // the clock read, and the caption and the application title of that moment
    void ShowCaptionSecond();
    void FormKeyDown(wxKeyEvent&);
    void FormClose(wxCloseEvent&);
    void Button1Click(wxCommandEvent&);
    void Button2Click(wxCommandEvent&);
    void Button3Click(wxCommandEvent&);
    void Button4Click(wxCommandEvent&);
    void Button5Click(wxCommandEvent&);
    void Button6Click(wxCommandEvent&);
    void Button7Click(wxCommandEvent&);
    void Button8Click(wxCommandEvent&);
    void Panel2Click(wxMouseEvent&);
    void ShowPendingReport();
    void RecordsChanged();
    void ShowWaitingRecords();
    bool NavigationKey(const wxKeyEvent& event);
    void LoadDisplaySettings();
    void SetDisplayFont(const TDisplayFont& font);
    void ShowLog(const std::string& path, const char* missingText);

    TServices services_;
    TDataPaths paths_;
    TMainClock clock_;
    long frameCount_ = 0;
    std::unique_ptr<TRecordKeeper> records_;
    wxKeyCode captureKey_ = WXK_NONE;  // the key of the last capture, if a key made it
    // A key capture's error report, shown once the key has been handled and released.
    std::exception_ptr pendingReport_;
    wxKeyCode reportKey_ = WXK_NONE;
    wxLongLong reportWaitUntil_;
    wxTimer reportTimer_;  // its own owner: its events never reach Timer1Timer
    wxTimer captionTimer_;  // the caption's second while minimised; its own owner too
    TDisplayFont displayFont_;
    wxFont fontDialogFont_;  // the font dialog's own font and colour, kept for the run
    wxColour fontDialogColour_;
    TLayout layout_;
};

}  // namespace app
