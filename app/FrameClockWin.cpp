#include <windows.h>

#include <algorithm>

#include <wx/window.h>

#include "app/FrameClock.h"

namespace app {

namespace {

constexpr UINT_PTR kFrameTimer = 1;
constexpr wchar_t kWindowClass[] = L"TempixFrameWindow";

// The refresh period of the monitor the window is on, as a message timer's interval. A message
// timer fires on the first system tick after it is due (15.6 ms apart on most PCs), so the
// interval is kept a little under one frame: at 60 Hz the timer then fires on every system tick,
// where an interval of a whole frame would fire on every second one.
UINT FramePeriodMs(HWND window) {
    DWORD hz = 60;
    MONITORINFOEXW monitor{};
    monitor.cbSize = sizeof monitor;
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) &&
        EnumDisplaySettingsW(monitor.szDevice, ENUM_CURRENT_SETTINGS, &mode) && mode.dmDisplayFrequency > 1)
        hz = mode.dmDisplayFrequency;  // 0 and 1 stand for the hardware's default
    // Above 1000 Hz a frame is shorter than the timer can wait: every tick then.
    return std::max<UINT>(USER_TIMER_MINIMUM, hz >= 1000 ? 0 : 1000 / hz - 1);
}

}  // namespace

// The frames reach the UI thread as WM_TIMER messages to a message-only window of its own: every
// modal loop dispatches them, the native message boxes' included, where a toolkit event would wait
// for the toolkit's own loop.
struct TFrameClock::TImpl {
    explicit TImpl(wxEvtHandler* owner) : owner(owner), events(owner) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &TImpl::WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        RegisterClassW(&wc);  // fails harmlessly when a second clock registers it again
        window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TImpl() {
        if (window) DestroyWindow(window);
    }

    static LRESULT CALLBACK WindowProc(HWND h, UINT message, WPARAM w, LPARAM l) {
        if (message != WM_TIMER || w != kFrameTimer) return DefWindowProcW(h, message, w, l);
        auto* self = reinterpret_cast<TImpl*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self && self->running) {
            wxTimerEvent event(self->events);
            self->owner->SafelyProcessEvent(event);
        }
        return 0;
    }

    wxEvtHandler* owner;
    wxTimer events;  // the source named in the events; never started itself
    HWND window = nullptr;
    bool running = false;
};

TFrameClock::TFrameClock(wxEvtHandler* owner) : impl_(std::make_unique<TImpl>(owner)) {}

TFrameClock::~TFrameClock() { Stop(); }

void TFrameClock::Start(wxWindow* paced) {
    Stop();
    impl_->running = SetTimer(impl_->window, kFrameTimer, FramePeriodMs(static_cast<HWND>(paced->GetHWND())), nullptr) != 0;
}

void TFrameClock::Stop() {
    if (impl_->running) KillTimer(impl_->window, kFrameTimer);
    impl_->running = false;
}

bool TFrameClock::IsRunning() const { return impl_->running; }

}  // namespace app
