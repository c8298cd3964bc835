// Windows stamps input messages with its tick count, which moves in steps of the system tick (15.6 ms
// on most PCs). So the UI thread's own message hook notes, on the precise monotonic clock, when each
// key-down and left-button-up message is first seen in the queue (a look ahead included, before the
// window takes it). A message that waited in the queue while the window was busy is older than that:
// its tick, less one step of the tick, says by how much at least.
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/InputTime.h"

namespace app {

namespace {

struct TSeenMessage {
    UINT Message = 0;
    WPARAM W = 0;
    uint32_t L = 0;
    DWORD Tick = 0;
    int64_t SeenUs = 0;  // 0: free
    bool Removed = false;
};

// Only the UI thread reads its queue and handles its events: no lock.
std::array<TSeenMessage, 64> seen;
size_t nextSeen = 0;
HHOOK hook = nullptr;
std::atomic<int> tickStepMs{16};

int64_t MonotonicUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

bool Watched(UINT message) { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN || message == WM_LBUTTONUP; }

bool Same(const TSeenMessage& s, const MSG& m) {
    return s.SeenUs != 0 && s.Message == m.message && s.W == m.wParam && s.L == static_cast<uint32_t>(m.lParam) &&
           s.Tick == m.time;
}

LRESULT CALLBACK NoteMessage(int code, WPARAM removal, LPARAM lParam) {
    if (code == HC_ACTION) {
        const MSG& m = *reinterpret_cast<const MSG*>(lParam);
        if (Watched(m.message)) {
            auto s = std::find_if(seen.begin(), seen.end(), [&](const TSeenMessage& s) { return Same(s, m); });
            if (s == seen.end()) {
                s = seen.begin() + static_cast<ptrdiff_t>(nextSeen++ % seen.size());
                *s = {m.message, m.wParam, static_cast<uint32_t>(m.lParam), m.time, MonotonicUs()};
            }
            if (removal == PM_REMOVE) s->Removed = true;
        }
    }
    return CallNextHookEx(hook, code, removal, lParam);
}

// The size of the tick's steps: 1 ms where the system counts milliseconds (wine), 15 or 16 on most PCs.
void LearnTickStep() {
    std::thread([] {
        DWORD last = GetTickCount();
        int largest = 0, steps = 0;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (steps < 2 && std::chrono::steady_clock::now() < until) {
            const DWORD now = GetTickCount();
            if (now != last) {
                largest = std::max(largest, static_cast<int>(now - last));
                ++steps;
                last = now;
            }
            std::this_thread::yield();
        }
        if (steps == 2) tickStepMs = largest;
    }).detach();
}

}  // namespace

bool InputWaiting() { return (HIWORD(GetQueueStatus(QS_KEY)) & QS_KEY) != 0; }

void WatchInputMessages() {
    if (hook) return;
    hook = SetWindowsHookExW(WH_GETMESSAGE, NoteMessage, nullptr, GetCurrentThreadId());
    LearnTickStep();
}

std::optional<int64_t> InputEventAgeUs(const wxEvent& e, int64_t monoNowUs) {
    const wxEventType type = e.GetEventType();
    const auto* key = dynamic_cast<const wxKeyEvent*>(&e);
    // A key's handler runs inside the keyboard hook as its message is taken, before this thread's
    // message hook hears of the taking: only a look ahead can have seen it, and one taken before is
    // an earlier key's. A click's handler runs once its message has been taken, and has its tick.
    auto matches = [&](const TSeenMessage& s) {
        if (s.SeenUs == 0 || monoNowUs - s.SeenUs > 1000000) return false;
        if (key) return (s.Message == WM_KEYDOWN || s.Message == WM_SYSKEYDOWN) && !s.Removed &&
                        s.W == key->GetRawKeyCode() && s.L == key->GetRawKeyFlags();
        return type == wxEVT_LEFT_UP && s.Message == WM_LBUTTONUP && s.Tick == static_cast<DWORD>(e.GetTimestamp());
    };
    // The oldest one not handled yet: a held key's repeats look alike but for their ticks.
    TSeenMessage* found = nullptr;
    for (TSeenMessage& s : seen)
        if (matches(s) && (!found || s.SeenUs < found->SeenUs)) found = &s;
    if (!found) return std::nullopt;
    const int64_t seenAge = monoNowUs - found->SeenUs;
    const int64_t tickAge = (static_cast<int64_t>(static_cast<DWORD>(GetTickCount() - found->Tick)) - tickStepMs) * 1000;
    found->SeenUs = 0;
    const int64_t age = std::max(seenAge, tickAge);
    if (age < 0 || age > 1000000) return std::nullopt;
    return age;
}

}  // namespace app
