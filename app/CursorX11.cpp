// The cursor on X11. Confinement is a core pointer grab whose confine-to window is an input-only
// window at the rectangle, kept below every other window so that it never takes a click itself.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "app/Services.h"

namespace app {

namespace {

class TX11Cursor final : public base::TCursor {
public:
    void MoveTo(int x, int y) override {
        Display* d = Dpy();
        if (!d) return;
        XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, x, y);
        XFlush(d);
    }

    void Confine(int left, int top, int right, int bottom) override {
        Display* d = Dpy();
        if (!d || right <= left || bottom <= top) return;
        // Grabbing again would send focus changes that re-activate the window, which confines again.
        if (confine_ && left == rect_[0] && top == rect_[1] && right == rect_[2] && bottom == rect_[3]) return;
        Release();
        rect_[0] = left, rect_[1] = top, rect_[2] = right, rect_[3] = bottom;
        XSetWindowAttributes attrs{};
        attrs.override_redirect = True;
        confine_ = XCreateWindow(d, DefaultRootWindow(d), left, top, static_cast<unsigned>(right - left),
                                 static_cast<unsigned>(bottom - top), 0, 0, InputOnly, CopyFromParent,
                                 CWOverrideRedirect, &attrs);
        XMapWindow(d, confine_);
        XLowerWindow(d, confine_);
        XSync(d, False);
        XGrabPointer(d, DefaultRootWindow(d), True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, confine_, None, CurrentTime);
        XFlush(d);
    }

    void Release() override {
        Display* d = Dpy();
        if (!d) return;
        XUngrabPointer(d, CurrentTime);
        if (confine_) {
            XDestroyWindow(d, confine_);
            confine_ = 0;
        }
        XFlush(d);
    }

private:
    static Display* Dpy() {
        GdkDisplay* g = gdk_display_get_default();
        return g && GDK_IS_X11_DISPLAY(g) ? GDK_DISPLAY_XDISPLAY(g) : nullptr;
    }
    Window confine_ = 0;
    int rect_[4] = {};
};

}  // namespace

base::TCursor& SystemCursor() {
    static TX11Cursor cursor;
    return cursor;
}

}  // namespace app
