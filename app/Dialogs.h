// Message boxes and the common dialogs, behind one small interface so that window tests can answer
// them without a modal loop.
#pragma once

#include <string>
#include <vector>

namespace app {

enum class TMsgIcon { Error, Information };

class TDialogs {
public:
    virtual ~TDialogs() = default;
    // A box with one OK button; returns when it has been dismissed.
    virtual void Message(const std::string& text, const std::string& caption, TMsgIcon icon) = 0;
};

// wxMessageBox.
TDialogs& SystemDialogs();

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
};

}  // namespace app
