// The PC clock through the Win32 time calls. Setting the clock needs the system-time privilege,
// which a process has but does not hold enabled: it is enabled for the one call and put back.
#include <windows.h>

#include "base/Clock.h"
#include "base/Win32Text.h"

namespace base {

namespace {

TSystemTime FromWin(const SYSTEMTIME& st) {
    TSystemTime t;
    t.Year = st.wYear;
    t.Month = st.wMonth;
    t.DayOfWeek = st.wDayOfWeek;
    t.Day = st.wDay;
    t.Hour = st.wHour;
    t.Minute = st.wMinute;
    t.Second = st.wSecond;
    t.Milliseconds = st.wMilliseconds;
    return t;
}

SYSTEMTIME ToWin(const TSystemTime& t) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.Year);
    st.wMonth = static_cast<WORD>(t.Month);
    st.wDayOfWeek = static_cast<WORD>(t.DayOfWeek);
    st.wDay = static_cast<WORD>(t.Day);
    st.wHour = static_cast<WORD>(t.Hour);
    st.wMinute = static_cast<WORD>(t.Minute);
    st.wSecond = static_cast<WORD>(t.Second);
    st.wMilliseconds = static_cast<WORD>(t.Milliseconds);
    return st;
}

// The system-time privilege, enabled while the object lives; the previous state is put back.
class TSystemTimePrivilege {
public:
    TSystemTimePrivilege() {
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_)) {
            error_ = GetLastError();  // the refusal's reason
            token_ = nullptr;
            return;
        }
        TOKEN_PRIVILEGES tp{};
        tp.PrivilegeCount = 1;
        LookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege", &tp.Privileges[0].Luid);
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        DWORD len = sizeof previous_;
        // Success that did not assign it: the token does not have the privilege to enable.
        enabled_ = AdjustTokenPrivileges(token_, FALSE, &tp, sizeof previous_, &previous_, &len) != 0 &&
                   GetLastError() != ERROR_NOT_ALL_ASSIGNED;
        error_ = enabled_ ? ERROR_SUCCESS : GetLastError();
        if (!enabled_) {
            CloseHandle(token_);
            token_ = nullptr;
        }
    }
    ~TSystemTimePrivilege() {
        if (!token_) return;
        AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
        CloseHandle(token_);
    }
    TSystemTimePrivilege(const TSystemTimePrivilege&) = delete;
    TSystemTimePrivilege& operator=(const TSystemTimePrivilege&) = delete;
    bool Enabled() const { return enabled_; }
    DWORD Error() const { return error_; }

private:
    HANDLE token_ = nullptr;
    TOKEN_PRIVILEGES previous_{};
    bool enabled_ = false;
    DWORD error_ = ERROR_SUCCESS;
};

// Windows 8 and later read the clock to a fraction of a microsecond; Windows 7 only at its tick.
using TGetTimeCall = VOID(WINAPI*)(LPFILETIME);
TGetTimeCall PreciseTimeCall() {
    static const TGetTimeCall call = [] {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        auto precise = kernel ? reinterpret_cast<TGetTimeCall>(reinterpret_cast<void (*)()>(
                                    GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")))
                              : nullptr;
        return precise ? precise : &GetSystemTimeAsFileTime;
    }();
    return call;
}

// The refusal a failing privilege adjustment or SetLocalTime's last-error code stands for.
TClockRefusal RefusalOfWinError(DWORD code) {
    switch (code) {
    case ERROR_NOT_ALL_ASSIGNED:     // the token has no system-time privilege to enable
    case ERROR_PRIVILEGE_NOT_HELD:   // not enabled when the clock was set
    case ERROR_ACCESS_DENIED:        // the token could not be opened for adjusting
        return TClockRefusal::NoPrivilege;
    default: return TClockRefusal::Refused;
    }
}

class TWinClock final : public TClock {
public:
    TSystemTime UtcNow() override {
        SYSTEMTIME st;
        GetSystemTime(&st);
        return FromWin(st);
    }

    int64_t UnixUsNow() override {
        FILETIME ft;
        PreciseTimeCall()(&ft);
        const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
        return (ticks - 116444736000000000LL) / 10;  // 100 ns units since 1601
    }

    TSystemTime LocalNow() override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        return FromWin(st);
    }

    TTimeZoneInformation TimeZone() override {
        TIME_ZONE_INFORMATION z{};
        DWORD r = GetTimeZoneInformation(&z);
        TTimeZoneInformation tzi;
        if (r == TIME_ZONE_ID_INVALID) {
            tzi.Result = TTimeZoneInformation::Invalid;
            tzi.ErrorText = SysErrorMessage(GetLastError());
            return tzi;
        }
        tzi.Result = r == TIME_ZONE_ID_DAYLIGHT   ? TTimeZoneInformation::Daylight
                     : r == TIME_ZONE_ID_STANDARD ? TTimeZoneInformation::Standard
                                                  : TTimeZoneInformation::Unknown;
        tzi.Bias = z.Bias;
        tzi.StandardBias = z.StandardBias;
        tzi.DaylightBias = z.DaylightBias;
        return tzi;
    }

    bool SetLocalTime(const TSystemTime& local) override {
        TSystemTimePrivilege privilege;
        if (!privilege.Enabled()) {
            refusal_ = RefusalOfWinError(privilege.Error());
            return false;
        }
        SYSTEMTIME st = ToWin(local);
        if (::SetLocalTime(&st)) return true;
        refusal_ = RefusalOfWinError(GetLastError());
        return false;
    }
    TClockRefusal LastRefusal() const override { return refusal_; }

private:
    TClockRefusal refusal_ = TClockRefusal::Refused;
};

}  // namespace

TClock& SystemClock() {
    static TWinClock clock;
    return clock;
}

}  // namespace base
