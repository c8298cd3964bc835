#include "app/FitText.h"

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
    if (dynamic_cast<wxStaticText*>(control)) control->SetSize(control->GetBestSize());  // a label is as wide as its text
}

}  // namespace app
