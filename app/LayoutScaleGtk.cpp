#include <gdk/gdk.h>

#include "app/Layout.h"

namespace app {

double DesktopTextScale(const wxWindow*) {
    GdkScreen* screen = gdk_screen_get_default();
    const double dpi = screen ? gdk_screen_get_resolution(screen) : -1;
    return dpi > 0 ? dpi / 96.0 : 1.0;
}

// Where fontconfig has no "MS Sans Serif" it takes the desktop's sans face, which runs wider.
wxString SansFace() { return "Liberation Sans"; }

}  // namespace app
