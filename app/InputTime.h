// When a key press or a mouse click was made: the time of the capture it triggers, whenever the
// window gets round to handling it.
#pragma once

#include <cstdint>
#include <optional>

#include <wx/event.h>

#include "app/Stopwatch.h"
#include "base/Clock.h"

namespace app {

// The trigger time of an input event, to be asked first thing in its handler: the clock now, less
// the event's age where the system stamps its input in a way to trust; the clock now where not.
TTriggerTime InputEventTime(const wxEvent& e, base::TClock& clock);

// How old the event is by what the system stamped on it; nothing where that is not to be trusted.
// GTK: the display server's milliseconds. Windows: when the message was first seen in the queue,
// or its own tick where that says it waited there longer.
std::optional<int64_t> InputEventAgeUs(const wxEvent& e, int64_t monoNowUs);

// Whether input has come that this thread has not taken from its queue yet (a held key's last
// repeats, still queued when the key already reads as up).
bool InputWaiting();

// Windows: from now on, the UI thread notes when each key and left-button message is first seen
// in its queue. Elsewhere nothing is needed.
void WatchInputMessages();

}  // namespace app
