#include "app/FitText.h"

#include <algorithm>

#include <wx/control.h>
#include <wx/stattext.h>

namespace app {

void FitText(wxWindow* control, int width) {
    auto* c = dynamic_cast<wxControl*>(control);
    if (!c) return;
    const wxString text = c->GetLabelText();
    wxFont font = control->GetFont();
    for (double points = font.GetFractionalPointSize(); points > 5.0 && control->GetTextExtent(text).x > width;) {
        points -= 0.5;
        font.SetFractionalPointSize(points);
        control->SetFont(font);
    }
    // A label is as wide as its text and two pixels more: a Windows label whose text only just
    // fits measures it a shade wider when drawing and wraps its last character away.
    if (dynamic_cast<wxStaticText*>(control)) {
        wxSize best = control->GetBestSize();
        control->SetSize(wxSize(std::min(best.x + 2, std::max(best.x, width)), best.y));
    }
}

}  // namespace app
