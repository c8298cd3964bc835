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

    bool Confine(int left, int top, int right, int bottom) override {
        Display* d = Dpy();
        // A Wayland display gives no program the pointer. XWayland grants the grab but confines to
        // whichever window has the pointer at the time (the main window as likely as this one) and
        // ignores moves of a visible cursor: no confinement is better than the wrong one.
        if (!d || OnXWayland()) return false;
        if (right <= left || bottom <= top) return true;
        // Grabbing again would send focus changes that re-activate the window, which confines again.
        if (confine_ && left == rect_[0] && top == rect_[1] && right == rect_[2] && bottom == rect_[3]) return true;
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
        // Another program's grab (a menu just closing, the window manager's move) ends soon: asked
        // again for a tenth of a second (the clock waits that long at most) before giving up.
        int result = GrabNotViewable;
        for (int attempt = 0; attempt < 10; ++attempt) {
            result = XGrabPointer(d, DefaultRootWindow(d), True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                  GrabModeAsync, GrabModeAsync, confine_, None, CurrentTime);
            if (result == GrabSuccess) break;
            g_usleep(10000);
        }
        XFlush(d);
        if (result == GrabSuccess) return true;
        Release();
        return false;
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
    // XWayland names its outputs XWAYLAND0, XWAYLAND1 ...
    static bool OnXWayland() {
        GdkDisplay* g = gdk_display_get_default();
        for (int i = 0, n = g ? gdk_display_get_n_monitors(g) : 0; i < n; ++i) {
            const char* model = gdk_monitor_get_model(gdk_display_get_monitor(g, i));
            if (model && g_str_has_prefix(model, "XWAYLAND")) return true;
        }
        return false;
    }
    static Display* Dpy() {
        GdkDisplay* g = gdk_display_get_default();
        return g && GDK_IS_X11_DISPLAY(g) ? GDK_DISPLAY_XDISPLAY(g) : nullptr;
    }
    Window confine_ = 0;
    int rect_[4] = {};
};

}  // namespace

// Where the desktop offers both Wayland and X (XWayland), the X side: only there may a program
// confine the cursor and move it. Must come before the toolkit starts.
void ChooseDisplayBackend() {
    const char* wayland = g_getenv("WAYLAND_DISPLAY");
    const char* x = g_getenv("DISPLAY");
    if (wayland && *wayland && x && *x) g_setenv("GDK_BACKEND", "x11", FALSE);
}

base::TCursor& SystemCursor() {
    static TX11Cursor cursor;
    return cursor;
}

}  // namespace app
