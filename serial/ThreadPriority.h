// The threads that see a trigger's line change first run ahead of ordinary programs where the
// system allows it: on a busy PC they still read the clock as the line changes.
#pragma once

namespace serial {

// Raises the calling thread above ordinary programs where this process may (Linux: real-time
// scheduling, within RLIMIT_RTPRIO for a user without the right to more, else through the desktop's
// real-time kit, real time or failing that a high priority; Windows: time-critical priority, and
// no power throttling). Returns at once: the kit is asked on a thread of its own, so that the
// caller is watching its line while the kit decides. True when the thread runs ahead now; false
// where nothing is granted, or not yet: the thread runs on as it was.
bool RunAheadOfOrdinaryPrograms();

}  // namespace serial
