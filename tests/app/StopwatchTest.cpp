#include "app/Stopwatch.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/ClockSim.h"
#include "tests/TestDir.h"

using namespace app;

TEST(StopwatchTest, paths_are_the_exe_folder_joined_with_the_names_as_they_stand) {
    TDataPaths p = TDataPaths::Build("/opt/Tempix/");
    EXPECT_EQ(p.TimeLog, "/opt/Tempix/time.txt");
    EXPECT_EQ(p.ServerList, "/opt/Tempix/sndata.txt");
    EXPECT_EQ(p.CorrectionsLog, "/opt/Tempix/dtime.txt");
    EXPECT_EQ(p.DisplaySettings, "/opt/Tempix/userfont.dat");
    EXPECT_EQ(p.HelpFile, "/opt/Tempix/TEMPIX.HLP");
    EXPECT_EQ(p.PortSettings, "/opt/Tempix/usercom.dat");
    EXPECT_EQ(p.UserLog, "/opt/Tempix/temp.txt");
}

TEST(StopwatchTest, capture_keys_by_index) {
    EXPECT_EQ(CaptureKeyCode(0), 13);
    EXPECT_EQ(CaptureKeyCode(1), 19);
    EXPECT_EQ(CaptureKeyCode(2), 45);
    EXPECT_EQ(CaptureKeyCode(3), 27);
    EXPECT_EQ(CaptureKeyCode(-1), 0);
    EXPECT_EQ(CaptureKeyCode(4), 0);
}

TEST(StopwatchTest, record_bytes) {
    EXPECT_EQ(CaptureRecord("14:05:09,187 UT", "(07-12-2026)"), "   14:05:09,187 UT   (07-12-2026)\r\n");
    // Before the first tick the date field is fifteen blanks.
    EXPECT_EQ(CaptureRecord("00:00:00,000 UT", ""), "   00:00:00,000 UT               \r\n");
    // A longer text is written whole and shifts what follows.
    EXPECT_EQ(CaptureRecord("14h05h09h,187 UT ok", "(07-12-2026)"), "14h05h09h,187 UT ok   (07-12-2026)\r\n");
    // A non-ASCII separator goes out in the ANSI code page.
    EXPECT_EQ(CaptureRecord("14ł05ł09,187 UT", "(07-12-2026)"), "   14\xB3" "05\xB3" "09,187 UT   (07-12-2026)\r\n");
}

namespace {
base::TTimeZoneInformation Zone(base::TTimeZoneInformation::TResult r, int bias, int daylight = 0) {
    base::TTimeZoneInformation z;
    z.Result = r;
    z.Bias = bias;
    z.DaylightBias = daylight;
    return z;
}
}  // namespace

TEST(StopwatchTest, tick_shows_utc_in_the_displays_and_local_time_in_the_caption) {
    base::TFakeClock clock;
    clock.UtcMs = 1796652309187LL;  // 2026-12-07 14:05:09.187 UTC
    clock.LocalBias = -60;
    clock.Zone = Zone(base::TTimeZoneInformation::Standard, -60);
    TMainClock main(clock, base::TFormatSettings{});
    EXPECT_EQ(main.Texts().LiveText, "00:00:00,000 UT");
    EXPECT_EQ(main.Texts().DateText, "");
    main.Tick();
    EXPECT_EQ(main.Texts().LiveText, "14:05:09,187 UT");
    EXPECT_EQ(main.Texts().DateText, "(07-12-2026)");
    EXPECT_EQ(main.Texts().AppTitle, "15:05:09 Tempix ver 1.2");
    EXPECT_EQ(main.Texts().Caption, "15:05:09 Tempix ver 1.2 (GMT +01:00)");

    clock.LocalBias = -120;
    clock.Zone = Zone(base::TTimeZoneInformation::Daylight, -60, -60);
    main.Tick();
    EXPECT_EQ(main.Texts().Caption, "16:05:09 Tempix ver 1.2 (GMT +02:00)");
}

TEST(StopwatchTest, midnight_tick_carries_the_new_date_with_the_new_time) {
    base::TFakeClock clock;
    clock.UtcMs = 1796687999999LL;  // 2026-12-07 23:59:59.999
    TMainClock main(clock, base::TFormatSettings{});
    main.Tick();
    EXPECT_EQ(main.Texts().DateText, "(07-12-2026)");
    clock.Advance(1);
    main.Tick();
    EXPECT_EQ(main.Texts().LiveText, "00:00:00,000 UT");
    EXPECT_EQ(main.Texts().DateText, "(08-12-2026)");
}

TEST(StopwatchTest, unreadable_time_zone_is_raised_once_and_the_caption_keeps_its_text) {
    base::TFakeClock clock;
    clock.UtcMs = 1796652309187LL;
    TMainClock main(clock, base::TFormatSettings{});
    main.Tick();
    const std::string caption = main.Texts().Caption;
    clock.Zone.Result = base::TTimeZoneInformation::Invalid;
    clock.Zone.ErrorText = "The system cannot find the file specified";
    clock.Advance(1000);
    EXPECT_THROW(main.Tick(), ETimeZoneError);
    EXPECT_EQ(main.Texts().LiveText, "14:05:10,187 UT");  // live display and title already updated
    EXPECT_EQ(main.Texts().AppTitle, "14:05:10 Tempix ver 1.2");
    EXPECT_EQ(main.Texts().Caption, caption);
    EXPECT_NO_THROW(main.Tick());  // not again on every tick
    clock.Zone.Result = base::TTimeZoneInformation::Standard;
    main.Tick();
    clock.Zone.Result = base::TTimeZoneInformation::Invalid;
    EXPECT_THROW(main.Tick(), ETimeZoneError);  // a new failure is reported again
}

TEST(StopwatchTest, an_input_stamp_gives_the_event_age_unless_it_cannot_be_trusted) {
    const int64_t now = 5'000'123'456;  // µs on the monotonic clock; the stamps count its milliseconds
    EXPECT_EQ(StampAgeUs(5'000'073, now), 49'956);  // 50 ms before, taken from the middle of its millisecond
    EXPECT_EQ(StampAgeUs(5'000'123, now), 0);       // this very millisecond: never after now
    EXPECT_EQ(StampAgeUs(4'999'123, now), 999'956);
    EXPECT_EQ(StampAgeUs(4'999'122, now), std::nullopt);  // more than a second old
    EXPECT_EQ(StampAgeUs(5'000'124, now), std::nullopt);  // ahead of now
    EXPECT_EQ(StampAgeUs(0, now), std::nullopt);          // no stamp at all
    // The server's 32 bits of milliseconds wrap every 49.7 days; the age does not.
    EXPECT_EQ(StampAgeUs(0xFFFFFFE2u, (0x100000000LL + 20) * 1000 + 300), 49'800);
}

// The data files stay beside a portable program; an installed one (the Debian layout, or Windows
// with its uninstaller beside the program) keeps them in the user's folder, made at first use with
// the sample server list.
TEST(StopwatchTest, data_files_beside_a_portable_program_and_in_the_users_folder_when_installed) {
    testing_support::TTempDir dir;
    std::filesystem::create_directories(dir / "portable/help");
    testing_support::Spit(dir / "portable/help/index.html", "");
    TFolders f = FindFolders(dir / "portable/", dir / "user/");
    EXPECT_EQ(f.Files, dir / "portable/");
    EXPECT_EQ(f.Program, dir / "portable/");
    EXPECT_EQ(f.Catalogues, dir / "portable/locale");
    EXPECT_FALSE(std::filesystem::exists(dir / "user"));

    testing_support::Spit(dir / "portable/Uninstall.exe", "");
    testing_support::Spit(dir / "portable/sndata.txt", "servers\r\n");
    EXPECT_EQ(FindFolders(dir / "portable/", dir / "user/").Files, dir / "user/");
    EXPECT_EQ(testing_support::Slurp(dir / "user/sndata.txt"), "servers\r\n");

    std::filesystem::create_directories(dir / "usr/bin");
    std::filesystem::create_directories(dir / "usr/share/tempix/help");
    testing_support::Spit(dir / "usr/share/tempix/help/index.html", "");
    testing_support::Spit(dir / "usr/share/tempix/sndata.txt", "sample\r\n");
    f = FindFolders(dir / "usr/bin/", dir / "home/.local/share/tempix/");
    EXPECT_EQ(f.Program, dir / "usr/bin/../share/tempix/");
    EXPECT_EQ(f.Catalogues, dir / "usr/bin/../share/locale");
    EXPECT_EQ(f.Files, dir / "home/.local/share/tempix/");
    EXPECT_EQ(testing_support::Slurp(dir / "home/.local/share/tempix/sndata.txt"), "sample\r\n");
}
