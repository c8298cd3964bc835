// Keeps the PC awake and its screen on while the program listens for a trigger no one at the
// keyboard makes (a light barrier on a serial port): the system would take the quiet for idleness.
// Linux: the desktop portal's Inhibit (suspend and idle) where the portal runs, else logind's
// Inhibit ("sleep:idle", block) on the system bus, held while the request or descriptor lives.
// Windows: SetThreadExecutionState (system and display required, continuous).
#pragma once

#include <string>
#include <vector>

namespace base {

class TStayAwake {
public:
    virtual ~TStayAwake() = default;
    // Asks for it, with the reason the system may show; a second Hold while held changes nothing.
    virtual void Hold(const std::string& reason) = 0;
    virtual void Release() = 0;
};

// The system's; on Linux on the session and system buses of the environment.
TStayAwake& SystemStayAwake();

// Writes down what it is asked: "hold: REASON", "release".
class TRecordingStayAwake final : public TStayAwake {
public:
    void Hold(const std::string& reason) override {
        if (!held_) Calls.push_back("hold: " + reason);
        held_ = true;
    }
    void Release() override {
        if (held_) Calls.push_back("release");
        held_ = false;
    }
    bool Held() const { return held_; }
    std::vector<std::string> Calls;

private:
    bool held_ = false;
};

}  // namespace base
