#include "app/Layout.h"

#include <algorithm>
#include <cmath>

#include <wx/window.h>

#include "app/FitText.h"

namespace app {

TLayout::TLayout(wxWindow* top) : top_(top), ratio_(DesktopTextScale(top)) {
    // Windows tells a window moved to a monitor of another DPI; the toolkit has scaled the fonts by
    // then, the places are ours. Passed on, the toolkit then gives the window the rectangle Windows
    // suggests, which keeps a window dragged across the monitors' border on the new one (left where
    // it was, it could fall back across and change again, and again).
    top_->Bind(wxEVT_DPI_CHANGED, [this](wxDPIChangedEvent& e) {
        Rescale(DesktopTextScale(top_));
        e.Skip();
    });
}

int TLayout::S(int px) const { return static_cast<int>(std::lround(px * ratio_)); }

int TLayout::Unscaled(int px) const { return static_cast<int>(std::ceil(px / ratio_ - 1e-9)); }

void TLayout::Do(std::function<void()> step) {
    step();
    steps_.push_back(std::move(step));
}

void TLayout::Place(wxWindow* control, const wxRect& r96) {
    Do([this, control, r96] { control->SetSize(S(r96)); });
}

void TLayout::Move(wxWindow* control, const wxPoint& p96) {
    Do([this, control, p96] { control->Move(S(p96)); });
}

wxFont WindowFont() { return wxFont(8, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, SansFace()); }

void TLayout::PixelFont(wxWindow* control, const wxFont& font, int height96) {
    wxFont f = font;
    f.SetFractionalPointSize(height96 * 72.0 / 96.0);
    control->SetFont(f);
}

void TLayout::Fit(wxWindow* control, int width96) {
    Do([this, control, width96] {
        if (WidenToText(control, S(width96)) > 0) widened_.push_back(control);
    });
}

// A control widened to its text keeps inside the window: the window grows to its right edge and the
// margin the layouts keep there.
void TLayout::ClientSize(const wxSize& s96) {
    Do([this, s96] {
        wxSize size = S(s96);
        for (wxWindow* control : widened_) size.x = std::max(size.x, control->GetRect().GetRight() + 1 + S(8));
        top_->SetClientSize(size);
    });
}

void TLayout::Then(std::function<void()> step) { Do(std::move(step)); }

void TLayout::Rescale(double ratio) {
    ratio_ = ratio;
    widened_.clear();
    for (const auto& step : steps_) step();
    top_->Refresh();
}

}  // namespace app
