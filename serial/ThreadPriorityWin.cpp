#include <windows.h>

#include "serial/ThreadPriority.h"

namespace serial {

bool RunAheadOfOrdinaryPrograms() { return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0; }

}  // namespace serial
