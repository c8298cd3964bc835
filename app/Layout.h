// A window's layout, drawn in pixels at 96 DPI as the windows were designed, and placed at the
// desktop's text scale: a desktop with larger text (GNOME's text scale, a Windows display scale)
// gets every position, size and pixel-sized font larger by the same ratio, so that the window keeps
// its proportions and grows with its text. At 96 DPI nothing moves.
#pragma once

#include <functional>
#include <vector>

#include <wx/font.h>
#include <wx/gdicmn.h>

class wxWindow;

namespace app {

// The ratio of a window's text resolution to 96 DPI. GTK: the desktop's font resolution over 96
// (its text scale; GDK_SCALE's whole-number scale is the toolkit's own, under its logical pixels).
// Windows: the DPI of the monitor the window is on over 96.
double DesktopTextScale(const wxWindow* w);

// The face the windows' texts were drawn in, "MS Sans Serif", as this system has it: on GTK its
// metric-compatible stand-in (Liberation Sans), whose texts take the widths the layouts give them.
wxString SansFace();
// The windows' own font: that face at 8 points.
wxFont WindowFont();

class TLayout {
public:
    explicit TLayout(wxWindow* top);
    TLayout(const TLayout&) = delete;
    TLayout& operator=(const TLayout&) = delete;

    double Ratio() const { return ratio_; }
    int S(int px) const;
    wxPoint S(const wxPoint& p) const { return {S(p.x), S(p.y)}; }
    wxSize S(const wxSize& s) const { return {S(s.x), S(s.y)}; }
    wxRect S(const wxRect& r) const { return {S(r.GetPosition()), S(r.GetSize())}; }
    // A length in pixels back in 96-DPI terms, rounded up: what a control the toolkit sizes needs.
    int Unscaled(int px) const;

    // Each of these is done now and again whenever the scale changes. Positions are the parent's.
    void Place(wxWindow* control, const wxRect& r96);
    // A control that sizes itself (a label) placed at a point.
    void Move(wxWindow* control, const wxPoint& p96);
    // A font whose characters are this many pixels high at 96 DPI, as `font` otherwise. It is given
    // in points, which each toolkit turns into pixels at the window's own resolution (Windows: at
    // the DPI of its monitor, again when it moves).
    void PixelFont(wxWindow* control, const wxFont& font, int height96);
    // The control's text kept whole in this width at 96 DPI, the control widened where it runs wider
    // (WidenToText); the client size given after it grows to keep such a control inside.
    void Fit(wxWindow* control, int width96);
    void ClientSize(const wxSize& s96);
    // Anything else that follows the scale.
    void Then(std::function<void()> step);

    // Everything done again at another ratio (the window moved to a monitor of another DPI).
    void Rescale(double ratio);

private:
    void Do(std::function<void()> step);

    wxWindow* top_;
    double ratio_;
    std::vector<std::function<void()>> steps_;
    std::vector<wxWindow*> widened_;
};

}  // namespace app
