#include "app/FitText.h"

#include <algorithm>

#include <wx/control.h>
#include <wx/stattext.h>

namespace app {

int WidenToText(wxWindow* control, int width) {
    auto* c = dynamic_cast<wxControl*>(control);
    if (!c) return 0;
    // A label is as wide as its text and two pixels more: a Windows label whose text only just
    // fits measures it a shade wider when drawing and wraps its last character away.
    if (dynamic_cast<wxStaticText*>(control)) {
        const wxSize best = control->GetBestSize();
        control->SetSize(wxSize(std::min(best.x + 2, std::max(best.x, width)), best.y));
        return std::max(0, best.x - width);
    }
    const int over = control->GetTextExtent(c->GetLabelText()).x - width;
    if (over <= 0) return 0;
    control->SetSize(control->GetSize() + wxSize(over, 0));
    return over;
}

}  // namespace app
