// The Windows serial driver: the device opened overlapped and exclusively, line settings through
// the DCB. A line watcher of the device's own arms WaitCommEvent again at once after each return,
// reads the precise clock and the lines first thing, and keeps each change for the event thread,
// which takes them one by one: it never waits for the window, so an edge is timed when it comes and
// a pulse that comes and goes while the window is busy is not lost. Every wait stands with a stop
// event first, so that a stop wins when both are signalled.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>

#include "base/Clock.h"
#include "base/Win32Text.h"
#include "serial/ComDriver.h"
#include "serial/LineChanges.h"
#include "serial/PortAdapterWin.h"
#include "serial/ThreadPriority.h"

namespace serial {

namespace {

static_assert(sizeof(DCB) == sizeof(TDCB), "the line-settings record is the Windows DCB");

// Errors after which the device is not coming back: every further wait would fail at once.
bool DeviceLost(DWORD err) {
    return err == ERROR_ACCESS_DENIED || err == ERROR_BAD_COMMAND || err == ERROR_DEVICE_NOT_CONNECTED ||
           err == ERROR_INVALID_HANDLE || err == ERROR_GEN_FAILURE;
}

class TOverlapped {
public:
    TOverlapped() { ov_.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr); }
    ~TOverlapped() {
        if (ov_.hEvent) CloseHandle(ov_.hEvent);
    }
    TOverlapped(const TOverlapped&) = delete;
    TOverlapped& operator=(const TOverlapped&) = delete;
    OVERLAPPED* Get() { return &ov_; }
    HANDLE Event() const { return ov_.hEvent; }

private:
    OVERLAPPED ov_{};
};

class TWinComDevice final : public TComDevice {
public:
    explicit TWinComDevice(HANDLE h)
        : h_(h), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), kept_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~TWinComDevice() override {
        if (watcher_.joinable()) {
            SetEvent(stop_);
            watcher_.join();
        }
        CloseHandle(h_);
        if (stop_) CloseHandle(stop_);
        if (kept_) CloseHandle(kept_);
    }

    bool SetupComm(uint32_t inQueue, uint32_t outQueue, int& error) override {
        return Check(::SetupComm(h_, inQueue, outQueue), error);
    }

    bool SetCommState(const TDCB& dcb, int& error) override {
        DCB d;
        std::memcpy(&d, &dcb, sizeof d);
        return Check(::SetCommState(h_, &d), error);
    }

    bool SetCommTimeouts(const TCommTimeouts& t, int& error) override {
        COMMTIMEOUTS c{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                       t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
        return Check(::SetCommTimeouts(h_, &c), error);
    }

    // Set before the watcher starts (at the open) and when monitoring ends; a mask set while the
    // watcher waits ends its wait with no event, and it waits again with the new one.
    void SetCommMask(uint32_t mask) override {
        mask_ = mask;
        ::SetCommMask(h_, mask);
        DWORD status = 0;
        if (!::GetCommModemStatus(h_, &status)) status = 0;
        changes_.Restart(status);
    }

    bool StartWatching(int& error) override {
        if (watcher_.joinable()) return true;
        try {
            watcher_ = std::thread([this] { WatchLines(); });
        } catch (const std::system_error&) {
            error = ERROR_NOT_ENOUGH_MEMORY;
            return false;
        }
        return true;
    }

    // The event thread's wait: the next change the watcher kept, even once stopped (an edge seen
    // before the stop is a runner), or the watcher's end.
    TWait WaitCommEvent(uint32_t& events) override {
        int error = 0;
        if (!watcher_.joinable() && WaitForSingleObject(stop_, 0) != WAIT_OBJECT_0 && !StartWatching(error))
            return TWait::Failed;
        HANDLE list[2] = {stop_, kept_};
        for (;;) {
            if (std::optional<TLineChange> c = changes_.Take()) {
                events = c->Events;
                event_ = *c;
                return TWait::Event;
            }
            if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return TWait::Stopped;
            if (watcherEnd_ != TWait::Event) return watcherEnd_;
            if (WaitForMultipleObjects(2, list, FALSE, INFINITE) == WAIT_FAILED) return TWait::Failed;
        }
    }

    void StopWaits() override {
        changes_.Stop();
        SetEvent(stop_);
    }

    bool GetCommModemStatus(uint32_t& status, int& error) override {
        DWORD s = 0;
        if (!::GetCommModemStatus(h_, &s)) {
            // A line without modem signals (a pseudo-terminal under wine, some virtual ports)
            // reads as all lines off, as it does on Linux.
            if (GetLastError() != ERROR_NOT_SUPPORTED) return Fail(error);
            s = 0;
        }
        status = s;
        return true;
    }

    // The lines and the time the watcher read with the change the last wait handed on.
    bool GetEventModemStatus(uint32_t& status, TEdgeTime& seen, int& error) override {
        (void)error;
        status = event_.Status;
        seen = event_.At;
        return true;
    }

    bool ClearCommError(uint32_t& errors, uint32_t& inQueue, int& error) override {
        DWORD e = 0;
        COMSTAT st{};
        if (!Check(::ClearCommError(h_, &e, &st), error)) return false;
        errors = e;
        inQueue = st.cbInQue;
        return true;
    }

    bool PurgeComm(uint32_t flags, int& error) override { return Check(::PurgeComm(h_, flags), error); }

    bool Read(void* buffer, uint32_t count, uint32_t& read, int& error) override {
        TOverlapped ov;
        ResetEvent(ov.Event());
        DWORD n = 0;
        if (!ReadFile(h_, buffer, count, &n, ov.Get())) {
            if (GetLastError() != ERROR_IO_PENDING) return Fail(error);
            if (WaitForSingleObject(ov.Event(), INFINITE) != WAIT_OBJECT_0) {
                // The read still holds `buffer` and this frame's OVERLAPPED: taken back before either goes.
                Fail(error);
                CancelIo(h_);
                GetOverlappedResult(h_, ov.Get(), &n, TRUE);
                return false;
            }
        }
        if (!GetOverlappedResult(h_, ov.Get(), &n, FALSE)) return Fail(error);
        read = n;
        return true;
    }

private:
    // The line watcher: one WaitCommEvent after another, each return kept with its time and lines.
    void WatchLines() {
        RunAheadOfOrdinaryPrograms();  // where the system allows it; the watcher works either way
        base::TClock& clock = base::SystemClock();
        int unreadable = 0;
        TWait end = TWait::Stopped;
        for (;;) {
            // Waits that end at once, one after another (a line that chatters, bytes that stay
            // queued), must not keep the watcher from its stop.
            if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) break;
            DWORD mask = 0;
            ResetEvent(wait_.Event());
            bool done = ::WaitCommEvent(h_, &mask, wait_.Get());
            const bool atOnce = done;  // on an event the driver remembered from before it was armed
            if (!done) {
                const DWORD err = GetLastError();
                if (err == ERROR_NOT_SUPPORTED && LeaveOutUnsupportedEvents()) continue;
                if (err != ERROR_IO_PENDING) {
                    end = DeviceLost(err) ? TWait::Gone : TWait::Failed;
                    break;
                }
                HANDLE list[2] = {stop_, wait_.Event()};
                const DWORD r = WaitForMultipleObjects(2, list, FALSE, INFINITE);
                if (r != WAIT_OBJECT_0 + 1) {
                    // Stopped (or the wait itself failed): take the armed wait back before `mask` goes.
                    // Setting the mask ends a pending wait; wine's wait does not end on CancelIo.
                    ::SetCommMask(h_, mask_);
                    CancelIo(h_);
                    DWORD n;
                    GetOverlappedResult(h_, wait_.Get(), &n, TRUE);
                    end = r == WAIT_OBJECT_0 ? TWait::Stopped : TWait::Failed;
                    break;
                }
                DWORD n;
                done = GetOverlappedResult(h_, wait_.Get(), &n, FALSE);
            }
            const TEdgeTime at{clock.UnixUsNow(), clock.MonotonicUsNow()};  // first: when the change came
            if (!done) {
                // A completed wait whose result cannot be read is skipped and armed again, unless the
                // device has gone. One that keeps failing (a pseudo-terminal under wine) is armed
                // again a millisecond later, not at once: no spinning, and a stop still ends it.
                if (DeviceLost(GetLastError())) {
                    end = TWait::Gone;
                    break;
                }
                if (++unreadable > 3 && WaitForSingleObject(stop_, 1) == WAIT_OBJECT_0) break;
                continue;
            }
            if (mask == 0) continue;  // the mask was set anew: wait with it
            DWORD status = 0;
            if (!::GetCommModemStatus(h_, &status)) status = 0;
            changes_.Keep(mask, status, at, atOnce);
            SetEvent(kept_);
        }
        watcherEnd_ = end;
        SetEvent(kept_);
    }

    // A device that cannot watch its modem lines (a pseudo-terminal under wine) refuses a wait that
    // includes them: wait for the rest, first without the line changes, then for data alone.
    bool LeaveOutUnsupportedEvents() {
        static constexpr uint32_t kLines = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
        static constexpr uint32_t kData = EV_RXCHAR | EV_RXFLAG | EV_TXEMPTY | EV_RX80FULL;
        const uint32_t mask = mask_;
        const uint32_t reduced = mask & kLines ? mask & ~kLines : mask & ~kData ? mask & kData : mask;
        if (reduced == mask || reduced == 0) return false;
        mask_ = reduced;
        ::SetCommMask(h_, reduced);
        return true;
    }

    static bool Fail(int& error) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    static bool Check(BOOL ok, int& error) { return ok ? true : Fail(error); }

    HANDLE h_;
    HANDLE stop_;
    HANDLE kept_;  // auto-reset: the watcher kept a change, or ended
    TOverlapped wait_;  // the watcher's
    std::atomic<uint32_t> mask_{0};
    TLineChanges changes_;
    TLineChange event_;  // the change the event thread's last wait handed on
    std::thread watcher_;
    std::atomic<TWait> watcherEnd_{TWait::Event};  // Event while it watches
};

// A lost port's return on Windows: the system's port list (SERIALCOMM) changes when a port's driver
// makes it again. Each change of the key's values wakes the watch's thread; nothing polls.
class TPortListWatch final : public TPortWatch {
public:
    TPortListWatch(HKEY key, HANDLE changed, std::function<void()> maybeBack)
        : key_(key), changed_(changed), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          maybeBack_(std::move(maybeBack)) {
        if (stop_) thread_ = std::thread([this] { Run(); });
    }
    ~TPortListWatch() override {
        if (thread_.joinable()) {
            SetEvent(stop_);
            thread_.join();
        }
        RegCloseKey(key_);
        CloseHandle(changed_);
        if (stop_) CloseHandle(stop_);
    }

private:
    void Run() {
        for (;;) {
            if (RegNotifyChangeKeyValue(key_, FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed_, TRUE) != ERROR_SUCCESS) return;
            HANDLE list[2] = {stop_, changed_};
            if (WaitForMultipleObjects(2, list, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
            maybeBack_();
        }
    }

    HKEY key_;
    HANDLE changed_, stop_;
    std::function<void()> maybeBack_;
    std::thread thread_;
};

class TWinComDriver final : public TComDriver {
public:
    std::unique_ptr<TPortWatch> WatchReturn(const std::string&, std::function<void()> maybeBack) override {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_NOTIFY, &key) != ERROR_SUCCESS)
            return nullptr;
        HANDLE changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!changed) {
            RegCloseKey(key);
            return nullptr;
        }
        try {
            return std::make_unique<TPortListWatch>(key, changed, std::move(maybeBack));
        } catch (const std::system_error&) {  // no thread to be had: no watch
            RegCloseKey(key);
            CloseHandle(changed);
            return nullptr;
        }
    }

    TPortAdapter Describe(const std::string& port) override { return AdapterOfPort(port); }

    std::unique_ptr<TComDevice> Open(const std::string& port, int& error) override {
        std::wstring name = L"\\\\.\\" + base::Utf8ToWide(port);
        HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = static_cast<int>(GetLastError());
            return nullptr;
        }
        return std::make_unique<TWinComDevice>(h);
    }
};

}  // namespace

TComDriver& SystemComDriver() {
    static TWinComDriver driver;
    return driver;
}

}  // namespace serial
