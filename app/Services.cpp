#include "app/Services.h"

#include <wx/msgdlg.h>

#include "base/ExeDir.h"

namespace app {

namespace {

class TWxDialogs final : public TDialogs {
public:
    void Message(const std::string& text, const std::string& caption, TMsgIcon icon) override {
        wxMessageBox(wxString::FromUTF8(text), wxString::FromUTF8(caption),
                     wxOK | (icon == TMsgIcon::Error ? wxICON_ERROR : wxICON_INFORMATION));
    }
};

}  // namespace

TDialogs& SystemDialogs() {
    static TWxDialogs dialogs;
    return dialogs;
}

TServices SystemServices() {
    TServices s;
    s.Clock = &base::SystemClock();
    s.Shell = &base::SystemShell();
    s.Help = &base::SystemHelp();
    s.Dialogs = &SystemDialogs();
    s.ExeDir = base::ExecutableDirectory();
    s.Format = base::UserFormatSettings();
    return s;
}

std::string& ApplicationTitle() {
    static std::string title;
    return title;
}

void ReportError(TDialogs& dialogs, const std::exception& e) {
    dialogs.Message(base::ErrorReportText(e.what()), ApplicationTitle(), TMsgIcon::Error);
}

}  // namespace app
