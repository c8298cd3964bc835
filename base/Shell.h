// Shell "open" and the help viewer.
#pragma once

#include <string>
#include <vector>

namespace base {

class TShell {
public:
    virtual ~TShell() = default;
    // Opens the file in the program the user's system associates with it; false when it can't.
    virtual bool Open(const std::string& path) = 0;
};

class THelp {
public:
    virtual ~THelp() = default;
    // The help book's contents and search.
    virtual void ShowContents(const std::string& helpFile) = 0;
    // One topic, by context string.
    virtual void ShowTopic(const std::string& helpFile, const std::string& topic) = 0;
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
    void ShowContents(const std::string& f) override { Calls.push_back("contents " + f); }
    void ShowTopic(const std::string& f, const std::string& t) override { Calls.push_back("topic " + f + " " + t); }
};

}  // namespace base
