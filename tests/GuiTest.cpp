#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/image.h>
#include <wx/window.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>
#include <gtk/gtk.h>
// After the toolkit and gtest: Xlib's macros (None, Bool, Status) clash with them.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "app/Services.h"
#include "tests/GuiTest.h"

namespace gui_test {

namespace {

Display* XDisplay() {
    static Display* d = XOpenDisplay(nullptr);
    return d;
}

void Key(const std::string& keysym, bool press) {
    Display* d = XDisplay();
    KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysym.c_str()));
    XTestFakeKeyEvent(d, code, press ? True : False, CurrentTime);
    XFlush(d);
}

}  // namespace

bool SaveScreenshot(wxWindow* window, const std::string& name) {
    const char* dir = std::getenv("TEMPIX_SCREENSHOTS");
    if (!dir || !*dir) return false;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);  // a fresh checkout has no such folder yet
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    window->Update();
    // The client area where the X server has it (without a window manager, not always where asked).
    wxRect r(window->ClientToScreen(wxPoint(0, 0)), window->GetClientSize());
    wxBitmap shot(r.width, r.height);
    wxMemoryDC mem(shot);
    wxScreenDC screen;
    mem.Blit(0, 0, r.width, r.height, &screen, r.x, r.y);
    mem.SelectObject(wxNullBitmap);
    const std::string path = std::string(dir) + "/" + name + ".png";
    wxLogNull quiet;  // a picture that cannot be saved is reported here, not in a box nobody closes
    if (shot.SaveFile(path, wxBITMAP_TYPE_PNG)) return true;
    std::fprintf(stderr, "screenshot not saved: %s\n", path.c_str());
    return false;
}

std::vector<unsigned char> WindowPixels(wxWindow* window) {
    window->Update();
    PumpFor(50);
    GdkWindow* gdk = gtk_widget_get_window(window->GetHandle());
    const wxSize size = window->GetClientSize();
    std::vector<unsigned char> rgb;
    GdkPixbuf* pixbuf = gdk ? gdk_pixbuf_get_from_window(gdk, 0, 0, size.x, size.y) : nullptr;
    if (!pixbuf) return rgb;
    const int channels = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* data = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(pixbuf); ++x)
            rgb.insert(rgb.end(), data + y * stride + x * channels, data + y * stride + x * channels + 3);
    g_object_unref(pixbuf);
    return rgb;
}

bool TooltipShown() {
    GList* windows = gtk_window_list_toplevels();
    bool shown = false;
    for (GList* w = windows; w; w = w->next)
        if (gtk_widget_get_visible(GTK_WIDGET(w->data)) &&
            gtk_window_get_type_hint(GTK_WINDOW(w->data)) == GDK_WINDOW_TYPE_HINT_TOOLTIP)
            shown = true;
    g_list_free(windows);
    return shown;
}

void ClickButton(wxButton* button) {
    wxCommandEvent e(wxEVT_BUTTON, button->GetId());
    e.SetEventObject(button);
    button->ProcessWindowEvent(e);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return done();
        loop->DispatchTimeout(5);
        // Not until none waits: with the clock ticking every millisecond there may always be one.
        while (loop->Pending() && std::chrono::steady_clock::now() <= end) loop->Dispatch();
        wxTheApp->ProcessPendingEvents();
        loop->ProcessIdle();
    }
    return true;
}

void PumpFor(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    PumpUntil([&] { return std::chrono::steady_clock::now() > end; }, ms + 1000);
}

void PressKey(const std::string& keysym) { Key(keysym, true); }
void ReleaseKey(const std::string& keysym) { Key(keysym, false); }

void TapKey(const std::string& keysym, const std::string& modifier) {
    if (!modifier.empty()) Key(modifier, true);
    Key(keysym, true);
    Key(keysym, false);
    if (!modifier.empty()) Key(modifier, false);
}

TKeyInjector::TKeyInjector() : display_(XOpenDisplay(nullptr)) {}
TKeyInjector::~TKeyInjector() {
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
}
void TKeyInjector::Tap(const std::string& keysym) {
    Display* d = static_cast<Display*>(display_);
    KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysym.c_str()));
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XSync(d, False);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XFlush(d);
}

void TKeyInjector::ClickLeft() {
    Display* d = static_cast<Display*>(display_);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
}

void TKeyInjector::MoveTo(int x, int y) {
    Display* d = static_cast<Display*>(display_);
    XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
    XSync(d, False);
}

TPointerGrabElsewhere::TPointerGrabElsewhere() : display_(XOpenDisplay(nullptr)) {
    Display* d = static_cast<Display*>(display_);
    held_ = d && XGrabPointer(d, DefaultRootWindow(d), False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                              CurrentTime) == GrabSuccess;
    if (d) XSync(d, False);
}
TPointerGrabElsewhere::~TPointerGrabElsewhere() { Release(); }
void TPointerGrabElsewhere::Release() {
    if (!display_) return;
    Display* d = static_cast<Display*>(display_);
    XUngrabPointer(d, CurrentTime);
    XCloseDisplay(d);
    display_ = nullptr;
    held_ = false;
}

bool StartToolkit(int& argc, char** argv) {
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv)) return false;
    // The toolkit's own errors go to the test's output: a modal log box would stop the run for good.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxTheApp->CallOnInit();
    app::RunCallQueueOnUiLoop();
    return true;
}

}  // namespace gui_test

