#include <windows.h>

#include "base/StayAwake.h"

namespace base {

namespace {

// The state belongs to the thread that sets it: the UI thread, which holds it as long as it is set.
class TWinStayAwake final : public TStayAwake {
public:
    void Hold(const std::string&) override {
        if (held_) return;
        held_ = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED) != 0;
    }
    void Release() override {
        if (!held_) return;
        SetThreadExecutionState(ES_CONTINUOUS);
        held_ = false;
    }

private:
    bool held_ = false;
};

}  // namespace

TStayAwake& SystemStayAwake() {
    static TWinStayAwake awake;
    return awake;
}

}  // namespace base
