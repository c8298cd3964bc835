// The mouse cursor: move it, confine it to a screen rectangle, release it.
#pragma once

#include <string>
#include <vector>

namespace base {

class TCursor {
public:
    virtual ~TCursor() = default;
    virtual void MoveTo(int x, int y) = 0;
    // Right and bottom are exclusive, as a Windows RECT. False where the cursor cannot be confined
    // (a desktop that gives no program the pointer, a grab held by another program).
    virtual bool Confine(int left, int top, int right, int bottom) = 0;
    virtual void Release() = 0;
};

class TRecordingCursor final : public TCursor {
public:
    std::vector<std::string> Calls;
    bool Confines = true;
    void MoveTo(int x, int y) override { Calls.push_back("move " + std::to_string(x) + " " + std::to_string(y)); }
    bool Confine(int l, int t, int r, int b) override {
        Calls.push_back("confine " + std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " +
                        std::to_string(b));
        return Confines;
    }
    void Release() override { Calls.push_back("release"); }
};

}  // namespace base
