// The desktop's real-time kit (org.freedesktop.RealtimeKit1 on the system bus), which the audio
// servers use: it raises an ordinary user's thread to real-time scheduling where the user may not
// do it, or failing that to a high priority (a low nice level).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace serial {

enum class TKitGrant { Realtime, HighPriority, None };

struct TKitRequest {
    uint64_t ThreadId = 0;       // the kernel's thread id (gettid)
    uint32_t Priority = 10;      // asked for, held to the kit's MaxRealtimePriority
    int32_t NiceLevel = -10;     // asked for when real time is refused, held to its MinNiceLevel
    int TimeoutMs = 100;         // for the whole exchange: an open never waits long for it
    // Sets RLIMIT_RTTIME (µs) for the process, as the kit demands before it grants real time.
    std::function<bool(uint64_t usec)> SetRtTimeLimit;
};

// Asks the kit on the bus at `busAddress`: real time first, then the high priority. None when there
// is no bus or no kit, both are refused, or the time is up.
TKitGrant AskRealtimeKit(const TKitRequest& request, const std::string& busAddress);

// RLIMIT_RTTIME through setrlimit, soft and hard limit alike, never above what is in force.
bool SetProcessRtTimeLimit(uint64_t usec);

}  // namespace serial
