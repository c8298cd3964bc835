// What the Win32 clock binding makes of the system's answers, for the tests that run under wine.
#pragma once

#include "base/Clock.h"

namespace base {

// The refusal a failing privilege adjustment or SetLocalTime's last-error code stands for.
TClockRefusal RefusalOfWinError(unsigned long code);

}  // namespace base
