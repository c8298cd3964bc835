// Shell "open" through ShellExecute. Help: the HTML book beside the help file, in the browser; where
// there is no book but the classic help file is there, the system's help viewer is asked for it.
#include <windows.h>
#include <shellapi.h>

#include "base/Shell.h"
#include "base/TextFile.h"
#include "base/Win32Text.h"

namespace base {

namespace {

class TWinShell final : public TShell {
public:
    bool Open(const std::string& path) override {
        if (!FileExists(path)) return false;
        auto r = reinterpret_cast<INT_PTR>(
            ShellExecuteW(static_cast<HWND>(Owner), L"open", Utf8ToWide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return r > 32;
    }
};

constexpr UINT kHelpFinder = 11;  // contents and search

class TWinHelp final : public THelp {
public:
    explicit TWinHelp(TShell& shell) : shell_(shell), book_(shell) {}

    bool ShowContents(const std::string& helpFile) override {
        if (book_.ShowContents(helpFile)) return true;
        return FileExists(helpFile) && WinHelpW(Owner(), Utf8ToWide(helpFile).c_str(), kHelpFinder, 0) != 0;
    }

    bool ShowTopic(const std::string& helpFile, const std::string& topic) override {
        if (book_.ShowTopic(helpFile, topic)) return true;
        if (!FileExists(helpFile)) return false;
        // A jump by context string is the viewer's JumpID macro.
        std::wstring macro = L"JI(`',`" + Utf8ToWide(topic) + L"')";
        return WinHelpW(Owner(), Utf8ToWide(helpFile).c_str(), HELP_COMMAND, reinterpret_cast<ULONG_PTR>(macro.c_str())) != 0;
    }

private:
    HWND Owner() const { return static_cast<HWND>(shell_.Owner); }

    TShell& shell_;
    TBookHelp book_;
};

}  // namespace

TShell& SystemShell() {
    static TWinShell shell;
    return shell;
}

THelp& SystemHelp() {
    static TWinHelp help(SystemShell());
    return help;
}

}  // namespace base
