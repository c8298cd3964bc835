// Helpers for window tests under an X server: pumping the event loop until a condition holds, and
// keys injected with XTest the way a keyboard would send them.
#pragma once

#include <functional>
#include <string>
#include <vector>

class wxButton;
class wxWindow;

namespace gui_test {

// Saves what the window shows on screen as <name>.png into $TEMPIX_SCREENSHOTS, when that is set.
bool SaveScreenshot(wxWindow* window, const std::string& name);

// The pixels the display server shows of a window's client area, as RGB rows.
std::vector<unsigned char> WindowPixels(wxWindow* window);

// A press of the button as its click handler sees it.
void ClickButton(wxButton* button);

// Runs the event loop until `done` holds or `timeoutMs` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the event loop for a while (to show that something does not happen).
void PumpFor(int ms);

// Press and release of a key given by its X keysym name ("Return", "KP_Enter", "F1" ...), with an
// optional modifier held ("Shift_L").
void TapKey(const std::string& keysym, const std::string& modifier = "");
void PressKey(const std::string& keysym);
void ReleaseKey(const std::string& keysym);

// Keys sent over a connection of its own, so another thread can type while the UI thread runs. A
// key's press and a click's release have been made (the server has stamped them) when these return.
class TKeyInjector {
public:
    TKeyInjector();
    ~TKeyInjector();
    void Tap(const std::string& keysym);
    void ClickLeft();
    void MoveTo(int x, int y);

private:
    void* display_;
};

// Another client's grab of the pointer, as another program's menu or window move holds it.
class TPointerGrabElsewhere {
public:
    TPointerGrabElsewhere();
    ~TPointerGrabElsewhere();
    bool Held() const { return held_; }
    void Release();

private:
    void* display_;
    bool held_ = false;
};

// Whether a tooltip is showing (GTK's tooltip window is up).
bool TooltipShown();

// Creates a bare wxApp and starts the toolkit; false without a display.
bool StartToolkit(int& argc, char** argv);

}  // namespace gui_test
