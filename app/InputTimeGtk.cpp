// GTK stamps every key and button event with the display server's time: milliseconds of the
// monotonic clock on Xorg, Xvfb, XWayland and the Wayland compositors.
#include <gdk/gdk.h>

#include "app/InputTime.h"

namespace app {

// The Wayland backend repeats a held key itself, each repeat stamped with the press's time: a key
// event with the stamp of the last one of the same key is such a repeat (two presses of one key
// never come within a millisecond), and its own time is the clock's now.
std::optional<int64_t> InputEventAgeUs(const wxEvent& e, int64_t monoNowUs) {
    const auto stamp = static_cast<uint32_t>(e.GetTimestamp());
    if (const auto* key = dynamic_cast<const wxKeyEvent*>(&e)) {
        static int lastKey = WXK_NONE;
        static uint32_t lastStamp = 0;
        const bool repeatedStamp = key->GetKeyCode() == lastKey && stamp == lastStamp;
        lastKey = key->GetKeyCode();
        lastStamp = stamp;
        if (repeatedStamp) return std::nullopt;
    }
    return StampAgeUs(stamp, monoNowUs);
}

bool InputWaiting() { return gdk_events_pending(); }

void WatchInputMessages() {}

}  // namespace app
