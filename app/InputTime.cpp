#include "app/InputTime.h"

namespace app {

TTriggerTime InputEventTime(const wxEvent& e, base::TClock& clock) {
    const int64_t now = clock.UnixUsNow();
    const std::optional<int64_t> age = InputEventAgeUs(e, clock.MonotonicUsNow());
    return age ? now - *age : now;
}

}  // namespace app
