// Shell "open" and the help viewer.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace base {

class TShell {
public:
    virtual ~TShell() = default;
    // Opens the file in the program the user's system associates with it; false when it can't.
    virtual bool Open(const std::string& path) = 0;

    // The native window that owns what the shell opens and asks (the main window); none at first.
    void* Owner = nullptr;

    // Where the desktop only finds out later that it has no program for a file it was asked to open,
    // this is called with the file's path, on the UI thread.
    std::function<void(const std::string& path)> NoViewer;
};

class THelp {
public:
    virtual ~THelp() = default;
    // The help book's contents; false when the book is not there or cannot be shown.
    virtual bool ShowContents(const std::string& helpFile) = 0;
    // One topic, by context string.
    virtual bool ShowTopic(const std::string& helpFile, const std::string& topic) = 0;
};

// The help book sits beside the help file the windows know (TEMPIX.HLP): a folder "help" of HTML
// pages, index.html the contents and <topic>.html each topic.
std::string HelpBookPage(const std::string& helpFile, const std::string& topic = "");

// Shows the book's pages through the shell, in the user's browser.
class TBookHelp final : public THelp {
public:
    explicit TBookHelp(TShell& shell) : shell_(shell) {}
    bool ShowContents(const std::string& helpFile) override;
    bool ShowTopic(const std::string& helpFile, const std::string& topic) override;

private:
    TShell& shell_;
};

TShell& SystemShell();
THelp& SystemHelp();

// Records every call; for tests.
class TRecordingShell final : public TShell {
public:
    std::vector<std::string> Opened;
    bool Succeed = true;
    bool Open(const std::string& path) override {
        Opened.push_back(path);
        return Succeed;
    }
};

class TRecordingHelp final : public THelp {
public:
    std::vector<std::string> Calls;  // "contents <file>" or "topic <file> <topic>"
    bool Succeed = true;
    bool ShowContents(const std::string& f) override {
        Calls.push_back("contents " + f);
        return Succeed;
    }
    bool ShowTopic(const std::string& f, const std::string& t) override {
        Calls.push_back("topic " + f + " " + t);
        return Succeed;
    }
};

}  // namespace base
