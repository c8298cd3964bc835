#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <thread>

#include "app/TickTimer.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace app {

namespace {

constexpr UINT kTickMessage = WM_APP + 0x54;
constexpr wchar_t kWindowClass[] = L"TempixTickWindow";

}  // namespace

// Ticks reach the UI thread as messages to a message-only window of its own: every modal loop
// dispatches them, the native message boxes' included, where a toolkit event would wait for the
// toolkit's own loop.
struct TTickTimer::TImpl {
    explicit TImpl(wxEvtHandler* owner) : owner(owner), events(owner) {
        stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &TImpl::WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        RegisterClassW(&wc);  // fails harmlessly when a second timer registers it again
        window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TImpl() {
        if (window) DestroyWindow(window);
        CloseHandle(stop);
    }

    static LRESULT CALLBACK WindowProc(HWND h, UINT message, WPARAM w, LPARAM l) {
        if (message != kTickMessage) return DefWindowProcW(h, message, w, l);
        if (auto* self = reinterpret_cast<TImpl*>(GetWindowLongPtrW(h, GWLP_USERDATA))) self->Deliver();
        return 0;
    }

    void Run(int milliseconds);
    void Deliver() {
        if (!running) {
            pending = false;
            return;
        }
        wxTimerEvent event(events);
        owner->SafelyProcessEvent(event);
        pending = false;
    }

    wxEvtHandler* owner;
    wxTimer events;  // the source named in the events; never started itself
    HWND window = nullptr;
    HANDLE stop = nullptr;
    std::thread thread;
    std::atomic<bool> running{false};
    std::atomic<bool> pending{false};
};

void TTickTimer::TImpl::Run(int milliseconds) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    bool coarse = timer == nullptr;
    if (coarse) {
        // Systems before the high-resolution timer: raise the system tick to 1 ms while we run.
        timeBeginPeriod(1);
        timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    }
    // A periodic timer: the ticks keep their pace however long the wait for each takes to return.
    LONG period = milliseconds > 0 ? milliseconds : 1;
    LARGE_INTEGER due;
    due.QuadPart = -10000LL * period;  // relative, in 100 ns units
    HANDLE list[2] = {stop, timer};
    if (timer && SetWaitableTimer(timer, &due, period, nullptr, nullptr, FALSE)) {
        // A tick posted and not handled within 50 ms is posted again: a modal loop that takes a
        // message off the queue without dispatching it must not stop the clock for good.
        ULONGLONG postedAt = 0;
        while (WaitForMultipleObjects(2, list, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            ULONGLONG now = GetTickCount64();
            if (!pending.exchange(true) || now - postedAt > 50) {
                postedAt = now;
                PostMessageW(window, kTickMessage, 0, 0);
            }
        }
        CancelWaitableTimer(timer);
    }
    if (timer) CloseHandle(timer);
    if (coarse) timeEndPeriod(1);
}

TTickTimer::TTickTimer(wxEvtHandler* owner) : impl_(std::make_unique<TImpl>(owner)) {}

TTickTimer::~TTickTimer() { Stop(); }

void TTickTimer::Start(int milliseconds) {
    Stop();
    ResetEvent(impl_->stop);
    impl_->running = true;
    impl_->pending = false;
    impl_->thread = std::thread([impl = impl_.get(), milliseconds] { impl->Run(milliseconds); });
}

void TTickTimer::Stop() {
    impl_->running = false;
    if (!impl_->thread.joinable()) return;
    SetEvent(impl_->stop);
    impl_->thread.join();
}

bool TTickTimer::IsRunning() const { return impl_->running; }

}  // namespace app
