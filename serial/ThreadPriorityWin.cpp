#include <windows.h>

#include "serial/ThreadPriority.h"

namespace serial {

namespace {

// Windows 10 and 11 slow down the threads of a program whose window is minimised or covered
// (power throttling, EcoQoS). A serial thread opts out of it for its life, the port's open time.
// The call is Windows 8's and the class Windows 10's: looked up, and left out where missing.
void KeepFullSpeed() {
    struct TPowerThrottlingState {
        ULONG Version, ControlMask, StateMask;
    };
    constexpr int kThreadPowerThrottling = 3;  // THREAD_INFORMATION_CLASS
    constexpr ULONG kExecutionSpeed = 0x1;     // THREAD_POWER_THROTTLING_EXECUTION_SPEED
    using TSetThreadInformation = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
    static const auto call = reinterpret_cast<TSetThreadInformation>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadInformation")));
    if (!call) return;
    TPowerThrottlingState state{1, kExecutionSpeed, 0};  // control the speed, and do not throttle it
    call(GetCurrentThread(), kThreadPowerThrottling, &state, sizeof state);
}

}  // namespace

bool RunAheadOfOrdinaryPrograms() {
    KeepFullSpeed();
    return SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) != 0;
}

}  // namespace serial
