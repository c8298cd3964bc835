// The Win32 bindings of the run-time layer against the system itself (under wine in our runs).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "base/Clock.h"
#include "base/ExeDir.h"
#include "base/Format.h"
#include "base/StayAwake.h"
#include "base/TextFile.h"
#include "base/Win32Text.h"
#include "tests/TestDir.h"

using testing_support::TTempDir;

TEST(Win32Clock, utc_and_local_now_agree_with_the_system_and_the_zone) {
    base::TClock& clock = base::SystemClock();
    SYSTEMTIME before;
    GetSystemTime(&before);
    base::TSystemTime utc = clock.UtcNow();
    base::TSystemTime local = clock.LocalNow();
    EXPECT_EQ(utc.Year, before.wYear);
    EXPECT_GE(utc.Milliseconds, 0);
    EXPECT_LE(utc.Milliseconds, 999);

    base::TTimeZoneInformation tzi = clock.TimeZone();
    ASSERT_NE(tzi.Result, base::TTimeZoneInformation::Invalid) << tzi.ErrorText;
    std::optional<int> bias = base::BiasInForce(tzi);
    ASSERT_TRUE(bias.has_value());
    // Local minus UTC is the bias in force, to the minute (the two readings may straddle one).
    auto minutes = [](const base::TSystemTime& t) {
        return base::DaysFromCivil(t.Year, t.Month, t.Day) * 1440 + t.Hour * 60 + t.Minute;
    };
    int64_t diff = minutes(utc) - minutes(local);
    EXPECT_LE(std::abs(diff - *bias), 1) << "bias " << *bias;
}

TEST(Win32Text, utf8_and_wide_round_trip_and_system_messages) {
    const std::string polish = "Zażółć gęślą jaźń";
    EXPECT_EQ(base::WideToUtf8(base::Utf8ToWide(polish)), polish);
    EXPECT_EQ(base::Utf8ToWide("ó"), std::wstring(L"\u00F3"));
    EXPECT_FALSE(base::SysErrorMessage(ERROR_FILE_NOT_FOUND).empty());
    EXPECT_NE(base::SysErrorMessage(ERROR_FILE_NOT_FOUND).back(), '\n');
}

TEST(Win32Files, error_codes_are_the_systems_own) {
    TTempDir dir;
    auto code = [](auto&& f) {
        try {
            f();
        } catch (const base::EInOutError& e) {
            return e.ErrorCode();
        }
        return 0;
    };
    EXPECT_EQ(code([&] { base::ReadWholeFile(dir / "missing.txt"); }), 2);
    EXPECT_EQ(code([&] { base::AppendToFile(dir / "no/such/folder.txt", "x"); }), 3);
    EXPECT_EQ(code([&] { base::RewriteFile(dir / "no/such/folder.txt", "x"); }), 3);
    EXPECT_EQ(code([&] { base::AppendToFile(dir / "bad\x01name?.txt", "x"); }), 123);  // ERROR_INVALID_NAME
    // Someone else holding the file with no sharing: a sharing violation, and nothing written.
    std::string held = dir / "held.txt";
    base::AppendToFile(held, "old\r\n");
    HANDLE h = CreateFileW(base::Utf8ToWide(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(code([&] { base::AppendToFile(held, "new\r\n"); }), 32);
    CloseHandle(h);
    EXPECT_EQ(base::ReadWholeFile(held), "old\r\n");
}

TEST(Win32Files, append_keeps_bytes_exact_and_paths_may_be_polish) {
    TTempDir dir;
    std::string path = dir / "czasy łódź.txt";
    base::AppendToFile(path, "a\r\n");
    base::AppendToFile(path, std::string("\xB3\0\r\n", 4));
    EXPECT_EQ(base::ReadWholeFile(path), std::string("a\r\n\xB3\0\r\n", 7));
    EXPECT_TRUE(base::FileExists(path));
    EXPECT_FALSE(base::FileExists(dir.Path()));
}

TEST(Win32Process, executable_folder_and_regional_separators) {
    std::string dir = base::ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
    EXPECT_TRUE(std::filesystem::exists(base::Utf8ToWide(dir)));
    base::TFormatSettings fs = base::UserFormatSettings();
    EXPECT_FALSE(fs.TimeSeparator.empty());
    EXPECT_FALSE(fs.DecimalSeparator.empty());
}

// Listening keeps the system and the display required, continuously, and the release clears it. A
// call without ES_CONTINUOUS changes nothing and answers what is set.
TEST(Win32StayAwake, the_execution_state_is_set_while_held_and_cleared_at_release) {
    base::TStayAwake& awake = base::SystemStayAwake();
    awake.Hold("Tempix mierzy czas z portu szeregowego");
    const EXECUTION_STATE held = SetThreadExecutionState(ES_SYSTEM_REQUIRED);
    EXPECT_EQ(held & (ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED),
              static_cast<EXECUTION_STATE>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED));
    awake.Release();
    EXPECT_EQ(SetThreadExecutionState(ES_SYSTEM_REQUIRED) & (ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED), 0u);
}
