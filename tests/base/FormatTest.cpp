#include "base/Format.h"

#include <clocale>

#include <gtest/gtest.h>

#include "base/AnsiCodePage.h"
#include "base/Clock.h"

using namespace base;

TEST(FormatTest, time_separator_from_locale_formats) {
    EXPECT_EQ(TimeSeparatorFromFormat("%H:%M:%S"), ":");
    EXPECT_EQ(TimeSeparatorFromFormat("%H.%M.%S"), ".");
    EXPECT_EQ(TimeSeparatorFromFormat("%T"), ":");
    EXPECT_EQ(TimeSeparatorFromFormat("%I:%M:%S %p"), ":");
    EXPECT_EQ(TimeSeparatorFromFormat("%Hh%Mm"), "h");
    EXPECT_EQ(TimeSeparatorFromFormat(""), ":");
}

TEST(FormatTest, padding_never_cuts) {
    EXPECT_EQ(PadLeft("ab", 5), "   ab");
    EXPECT_EQ(PadLeft("abcdef", 3), "abcdef");
    EXPECT_EQ(PadRight("ab", 4), "ab  ");
    EXPECT_EQ(PadRight("abcdef", 3), "abcdef");
}

TEST(FormatTest, fixed_point_uses_the_given_separator_whatever_the_c_locale) {
    EXPECT_EQ(FormatFixed(-0.004, 3, ","), "-0,004");
    EXPECT_EQ(FormatFixed(0.0, 3, ","), "0,000");
    EXPECT_EQ(FormatFixed(1234.5, 3, ","), "1234,500");
    EXPECT_EQ(FormatFixed(0.5, 3, "."), "0.500");
    if (std::setlocale(LC_NUMERIC, "pl_PL.UTF-8")) {
        EXPECT_EQ(FormatFixed(1.25, 2, "."), "1.25");
        std::setlocale(LC_NUMERIC, "C");
    }
}

TEST(FormatTest, error_report_adds_a_full_stop_only_after_characters_above_it) {
    EXPECT_EQ(ErrorReportText("File access denied"), "File access denied.");
    EXPECT_EQ(ErrorReportText("Host not found."), "Host not found.");
    EXPECT_EQ(ErrorReportText("Socket Error # 10\r\n"), "Socket Error # 10\r\n");
    EXPECT_EQ(ErrorReportText("ends with !"), "ends with !");
    EXPECT_EQ(ErrorReportText("I/O error 32"), "I/O error 32.");
    EXPECT_EQ(ErrorReportText(""), "");
}

TEST(FormatTest, bias_in_force_follows_the_three_way_rule) {
    TTimeZoneInformation tz;
    tz.Bias = -60, tz.StandardBias = 0, tz.DaylightBias = -60;
    tz.Result = TTimeZoneInformation::Daylight;
    EXPECT_EQ(BiasInForce(tz), -120);
    tz.Result = TTimeZoneInformation::Standard;
    EXPECT_EQ(BiasInForce(tz), -60);
    tz.StandardBias = 5;
    tz.Result = TTimeZoneInformation::Unknown;
    EXPECT_EQ(BiasInForce(tz), -60);
    tz.Result = TTimeZoneInformation::Invalid;
    EXPECT_FALSE(BiasInForce(tz).has_value());
}
