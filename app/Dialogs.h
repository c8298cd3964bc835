// Message boxes and the common dialogs, behind one small interface so that window tests can answer
// them without a modal loop.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <wx/colour.h>
#include <wx/font.h>

namespace app {

enum class TMsgIcon { Error, Information };

class TDialogs {
public:
    virtual ~TDialogs() = default;
    // A box with one OK button; returns when it has been dismissed.
    virtual void Message(const std::string& text, const std::string& caption, TMsgIcon icon) = 0;
    // A question with Yes and No, No the default: true for Yes.
    virtual bool Ask(const std::string& text, const std::string& caption) = 0;
    // The save-file dialog of "Zapi&suj do": the chosen full path, nothing when cancelled.
    virtual std::optional<std::string> SaveFileName() = 0;
    // The font dialog opened on `font` and `colour`; true and the choice in them when confirmed.
    virtual bool ChooseFont(wxFont& font, wxColour& colour) = 0;
};

// wxMessageBox and the common dialogs.
TDialogs& SystemDialogs();

// A typed name without extension gets the default one ("bez nazwy" -> "bez nazwy.txt").
std::string WithDefaultExtension(const std::string& path, const std::string& ext);

class TRecordingDialogs final : public TDialogs {
public:
    struct TShown {
        std::string Text, Caption;
        TMsgIcon Icon;
    };
    std::vector<TShown> Shown;
    void Message(const std::string& text, const std::string& caption, TMsgIcon icon) override {
        Shown.push_back({text, caption, icon});
    }
    std::vector<std::string> Asked;
    bool NextAnswer = false;
    bool Ask(const std::string& text, const std::string& caption) override {
        Asked.push_back(caption + ": " + text);
        return NextAnswer;
    }
    std::optional<std::string> NextSaveName;  // nothing: the user cancels
    std::optional<std::string> SaveFileName() override { return NextSaveName; }
    std::optional<wxFont> NextFont;  // nothing: the user cancels
    wxColour NextColour = *wxBLACK;
    std::vector<wxFont> FontDialogOpenedWith;
    bool ChooseFont(wxFont& font, wxColour& colour) override {
        FontDialogOpenedWith.push_back(font);
        if (!NextFont) return false;
        font = *NextFont;
        colour = NextColour;
        return true;
    }
};

}  // namespace app
