#include "app/Services.h"

#include <wx/app.h>
#include <wx/colordlg.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/fontdlg.h>
#include <wx/msgdlg.h>
#include <wx/platinfo.h>

#include "base/CallQueue.h"
#include "base/ExeDir.h"
#include "serial/ComDriver.h"

namespace app {

namespace {

class TWxDialogs final : public TDialogs {
public:
    void Message(const std::string& text, const std::string& caption, TMsgIcon icon) override {
        wxMessageBox(wxString::FromUTF8(text), wxString::FromUTF8(caption),
                     wxOK | wxCENTRE | (icon == TMsgIcon::Error ? wxICON_ERROR : wxICON_INFORMATION));
    }

    bool Ask(const std::string& text, const std::string& caption) override {
        return wxMessageBox(wxString::FromUTF8(text), wxString::FromUTF8(caption),
                            wxYES_NO | wxNO_DEFAULT | wxCENTRE | wxICON_QUESTION) == wxYES;
    }

    std::optional<std::string> SaveFileName() override {
        wxFileDialog dlg(wxTheApp->GetTopWindow(), "Zapisuj czasy do pliku", wxEmptyString, "bez nazwy",
                         "Pliki tekstowe (*.txt)|*.txt|Wszystkie pliki (*.*)|*.*", wxFD_SAVE | wxRESIZE_BORDER);
        dlg.SetFilterIndex(0);
        for (;;) {
            if (dlg.ShowModal() != wxID_OK) return std::nullopt;
            // The overwrite question is about the name that will be used, extension added.
            std::string path = WithDefaultExtension(dlg.GetPath().utf8_string(), "txt");
            if (!wxFileName::FileExists(wxString::FromUTF8(path))) return path;
            int answer = wxMessageBox(wxString::FromUTF8(path + " już istnieje.\nCzy chcesz go zamienić?"),
                                      wxString::FromUTF8("Potwierdź Zapisywanie jako"), wxYES_NO | wxICON_WARNING,
                                      wxTheApp->GetTopWindow());
            if (answer == wxYES) return path;
            dlg.SetPath(wxString::FromUTF8(path));
        }
    }

    bool ChooseFont(wxFont& font, wxColour& colour) override {
        wxFontData data;
        data.SetInitialFont(font);
        data.SetColour(colour);
        data.EnableEffects(true);
        wxFontDialog dlg(wxTheApp->GetTopWindow(), data);
        if (dlg.ShowModal() != wxID_OK) return false;
        font = dlg.GetFontData().GetChosenFont();
        colour = dlg.GetFontData().GetColour();
        if (!FontDialogHasColour()) {
            // The colour is part of the font choice: where the font dialog lacks it, its own dialog
            // follows. Cancelled, the font chosen stays and the colour is as it was.
            wxColourData colours;
            colours.SetColour(colour);
            colours.SetChooseFull(true);
            wxColourDialog colourDlg(wxTheApp->GetTopWindow(), &colours);
            colourDlg.SetTitle("Kolor czcionki");
            if (colourDlg.ShowModal() == wxID_OK) colour = colourDlg.GetColourData().GetColour();
        }
        return true;
    }

private:
    // GTK's font chooser offers no colour; the Windows one does.
    static bool FontDialogHasColour() { return wxPlatformInfo::Get().GetPortId() != wxPORT_GTK; }
};

}  // namespace

std::string WithDefaultExtension(const std::string& path, const std::string& ext) {
    // Windows takes both separators: a dot in a folder's name is no extension of the file.
    size_t slash = path.find_last_of(wxFileName::GetPathSeparators().utf8_string());
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    return name.find('.') == std::string::npos ? path + "." + ext : path;
}

TDialogs& SystemDialogs() {
    static TWxDialogs dialogs;
    return dialogs;
}

TServices SystemServices() {
    TServices s;
    s.Clock = &base::SystemClock();
    s.Shell = &base::SystemShell();
    s.Shell->NoViewer = [](const std::string& path) {
        SystemDialogs().Message("Nie można wyświetlić pliku " + path + ": brak programu, który go otwiera.",
                                "Brak programu", TMsgIcon::Error);
    };
    s.Help = &base::SystemHelp();
    s.Dialogs = &SystemDialogs();
    s.Cursor = &SystemCursor();
    s.StayAwake = &base::SystemStayAwake();
    s.ComDriver = &serial::SystemComDriver();
    s.ListPorts = serial::SystemPortLister();
    s.DataDir = base::UserDataDirectory();
    const TFolders folders = FindFolders(base::ExecutableDirectory(), s.DataDir);
    s.ExeDir = folders.Program;
    s.FilesDir = folders.Files;
    s.Format = base::UserFormatSettings();
    return s;
}

void RunCallQueueOnUiLoop() {
    base::TCallQueue::Main().Wake = [] {
        if (wxTheApp) wxTheApp->CallAfter([] { base::TCallQueue::Main().RunPending(); });
    };
}

void ShowHelp(TServices& services, const std::string& helpFile, const std::string& topic) {
    bool shown = topic.empty() ? services.Help->ShowContents(helpFile) : services.Help->ShowTopic(helpFile, topic);
    if (!shown)
        services.Dialogs->Message("Nie można otworzyć pomocy: brak pliku " + base::HelpBookPage(helpFile, topic) + ".",
                                  "Pomoc", TMsgIcon::Error);
}

std::string& ApplicationTitle() {
    static std::string title;
    return title;
}

void ReportError(TDialogs& dialogs, const std::exception& e) {
    dialogs.Message(base::ErrorReportText(e.what()), ApplicationTitle(), TMsgIcon::Error);
}

void ReportError(TDialogs& dialogs, const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ReportError(dialogs, e);
    } catch (...) {
        ReportError(dialogs, std::runtime_error("Unknown exception"));
    }
}

}  // namespace app
