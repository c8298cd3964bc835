// The cursor on Windows: SetCursorPos and ClipCursor.
#include <windows.h>

#include "app/Services.h"

namespace app {

namespace {

class TWinCursor final : public base::TCursor {
public:
    void MoveTo(int x, int y) override { SetCursorPos(x, y); }
    bool Confine(int left, int top, int right, int bottom) override {
        RECT r{left, top, right, bottom};
        return ClipCursor(&r) != 0;
    }
    void Release() override { ClipCursor(nullptr); }
};

}  // namespace

void ChooseDisplayBackend() {}

base::TCursor& SystemCursor() {
    static TWinCursor cursor;
    return cursor;
}

}  // namespace app
