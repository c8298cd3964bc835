#include "base/DateTime.h"

#include <gtest/gtest.h>

using namespace base;

namespace {
TSystemTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
    TSystemTime t;
    t.Year = y, t.Month = mo, t.Day = d, t.Hour = h, t.Minute = mi, t.Second = s, t.Milliseconds = ms;
    return t;
}
}  // namespace

TEST(DateTimeTest, live_and_date_texts_are_zero_padded) {
    TSystemTime t = At(2026, 12, 7, 14, 5, 9, 187);
    EXPECT_EQ(LiveTimeText(t, ":"), "14:05:09,187 UT");
    EXPECT_EQ(LiveTimeText(At(2026, 1, 2, 0, 0, 0, 7), ":"), "00:00:00,007 UT");
    EXPECT_EQ(DateText(t), "(07-12-2026)");
    EXPECT_EQ(DateText(At(987, 3, 4, 0, 0, 0, 0)), "(04-03-0987)");
}

TEST(DateTimeTest, the_time_separator_replaces_only_the_colons) {
    EXPECT_EQ(LiveTimeText(At(2026, 12, 7, 14, 5, 9, 187), "."), "14.05.09,187 UT");
    EXPECT_EQ(AppTitleText(At(2026, 12, 7, 23, 59, 59, 999), "."), "23.59.59 Tempix ver 1.2");
}

TEST(DateTimeTest, gmt_offset_text_signs_and_magnitudes) {
    EXPECT_EQ(GmtOffsetText(0, ":"), "(GMT +00:00)");
    EXPECT_EQ(GmtOffsetText(-60, ":"), "(GMT +01:00)");
    EXPECT_EQ(GmtOffsetText(-120, ":"), "(GMT +02:00)");
    EXPECT_EQ(GmtOffsetText(300, ":"), "(GMT -05:00)");
    EXPECT_EQ(GmtOffsetText(-330, ":"), "(GMT +05:30)");
    EXPECT_EQ(GmtOffsetText(-765, ":"), "(GMT +12:45)");
    EXPECT_EQ(GmtOffsetText(210, "."), "(GMT -03.30)");
}

TEST(DateTimeTest, unix_milliseconds_split_into_fields_across_leap_days_and_before_1970) {
    TSystemTime t = SystemTimeFromUnixMs(951782400000LL + 86399999);  // 2000-02-29 23:59:59.999
    EXPECT_EQ(DateText(t), "(29-02-2000)");
    EXPECT_EQ(LiveTimeText(t, ":"), "23:59:59,999 UT");
    EXPECT_EQ(t.DayOfWeek, 2);  // a Tuesday
    TSystemTime before = SystemTimeFromUnixMs(-1);
    EXPECT_EQ(DateText(before), "(31-12-1969)");
    EXPECT_EQ(LiveTimeText(before, ":"), "23:59:59,999 UT");
    EXPECT_EQ(UnixMsFromSystemTime(before), -1);
}

TEST(DateTimeTest, day_count_origin_and_round_trip) {
    EXPECT_DOUBLE_EQ(DayCountFromSystemTime(At(1899, 12, 30, 0, 0, 0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(DayCountFromSystemTime(At(1900, 1, 1, 12, 0, 0, 0)), 2.5);
    TSystemTime t = At(2036, 2, 7, 6, 28, 16, 123);
    TSystemTime back = SystemTimeFromDayCount(DayCountFromSystemTime(t));
    EXPECT_EQ(UnixMsFromSystemTime(back), UnixMsFromSystemTime(t));
}
