// GTK stamps every key and button event with the display server's time: milliseconds of the
// monotonic clock on Xorg, Xvfb, XWayland and the Wayland compositors.
#include <gdk/gdk.h>

#include "app/InputTime.h"

namespace app {

std::optional<int64_t> InputEventAgeUs(const wxEvent& e, int64_t monoNowUs) {
    return StampAgeUs(static_cast<uint32_t>(e.GetTimestamp()), monoNowUs);
}

bool InputWaiting() { return gdk_events_pending(); }

void WatchInputMessages() {}

}  // namespace app
