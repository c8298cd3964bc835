#include <wx/window.h>

#include "app/Layout.h"

namespace app {

double DesktopTextScale(const wxWindow* w) {
    const int dpi = w ? w->GetDPI().y : 0;
    return dpi > 0 ? dpi / 96.0 : 1.0;
}

wxString SansFace() { return "MS Sans Serif"; }

}  // namespace app
