#include "app/DisplaySettings.h"

#include <climits>

#include <gtest/gtest.h>

#include "tests/TestDir.h"

using namespace app;
using testing_support::Slurp;
using testing_support::Spit;

TEST(DisplaySettingsTest, missing_or_bad_file_gives_the_fallback) {
    testing_support::TTempDir dir;
    TDisplaySettings s = LoadDisplaySettings(dir / "userfont.dat");
    EXPECT_EQ(s.Charset, 238);
    EXPECT_EQ(s.Color, clWindowText);
    EXPECT_EQ(s.Height, -48);
    EXPECT_EQ(s.Name, "Arial");
    EXPECT_EQ(s.Size, 36);
    EXPECT_EQ(s.KeyIndex, 0);
    Spit(dir / "userfont.dat", "238\r\nblue\r\n-20\r\nCourier New\r\n2\r\n15\r\n1\r\n2\r\n");
    EXPECT_EQ(LoadDisplaySettings(dir / "userfont.dat").Name, "Arial");
    EXPECT_FALSE(ParseDisplaySettings("1\r\n2x\r\n").has_value());
    EXPECT_FALSE(ParseDisplaySettings("1\r\n99999999999\r\n").has_value());
}

TEST(DisplaySettingsTest, numbers_skip_blanks_and_line_ends_and_the_rest_of_their_line) {
    auto s = ParseDisplaySettings("  238 trailing words\r\n\r\n-2147483640\r\n-20\r\nCourier New \r\n2\r\n15\r\n3\r\n2");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Charset, 238);
    EXPECT_EQ(s->Color, clWindowText);  // found on the line after the empty one
    EXPECT_EQ(s->Height, -20);
    EXPECT_EQ(s->Name, "Courier New ");
    EXPECT_EQ(s->Pitch, 2);
    EXPECT_EQ(s->Size, 15);
    EXPECT_EQ(s->Style, 3);
    EXPECT_EQ(s->KeyIndex, 2);
}

TEST(DisplaySettingsTest, empty_file_applies_zeros_and_keeps_the_name) {
    auto s = ParseDisplaySettings("");
    ASSERT_TRUE(s);
    TDisplayFont f;
    f.Name = "Times New Roman";
    f.Size = 48;
    ApplyDisplaySettings(*s, f, 96);
    EXPECT_EQ(f.Charset, 0);
    EXPECT_EQ(f.Color, 0);
    EXPECT_EQ(f.Size, 0);
    EXPECT_EQ(f.Height, 0);
    EXPECT_EQ(f.Name, "Times New Roman");
    EXPECT_EQ(s->KeyIndex, 0);
}

TEST(DisplaySettingsTest, size_decides_the_height_and_long_names_are_cut) {
    TDisplaySettings s;
    s.Height = -100;
    s.Size = 12;
    s.Name = std::string(40, 'N');
    TDisplayFont f;
    ApplyDisplaySettings(s, f, 96);
    EXPECT_EQ(f.Size, 12);
    EXPECT_EQ(f.Height, -16);
    EXPECT_EQ(f.Name, std::string(31, 'N'));
    EXPECT_EQ(KeyChoiceOf(-7), -1);
    EXPECT_EQ(KeyChoiceOf(-1), -1);
    EXPECT_EQ(KeyChoiceOf(9), 3);
}

TEST(DisplaySettingsTest, far_out_of_range_sizes_saturate_instead_of_wrapping) {
    TDisplayFont f;
    ApplyDisplaySettings(*ParseDisplaySettings("0\n0\n0\n\n0\n-1610612736"), f, 96);
    EXPECT_EQ(f.Size, -1610612736);
    EXPECT_EQ(f.Height, INT32_MAX);
    ApplyDisplaySettings(*ParseDisplaySettings("0\n0\n0\n\n0\n2000000000"), f, 96);
    EXPECT_EQ(f.Height, -INT32_MAX);  // still a character height, not a positive cell height
    f.SetHeight(INT32_MIN, 72);
    EXPECT_EQ(f.Size, INT32_MAX);
}

TEST(DisplaySettingsTest, written_bytes_and_their_round_trip) {
    testing_support::TTempDir dir;
    TDisplayFont f;
    ApplyDisplaySettings(TDisplaySettings{}, f, 96);
    SaveDisplaySettings(dir / "userfont.dat", f, 0);
    EXPECT_EQ(Slurp(dir / "userfont.dat"), "238\r\n-2147483640\r\n-48\r\nArial\r\n0\r\n36\r\n0\r\n0\r\n");
    f.Name = "Łódź Sans";
    f.Style = 2 | 1;
    SaveDisplaySettings(dir / "userfont.dat", f, -1);
    EXPECT_EQ(Slurp(dir / "userfont.dat"), "238\r\n-2147483640\r\n-48\r\n\xA3\xF3" "d\x9F Sans\r\n0\r\n36\r\n3\r\n-1\r\n");
    TDisplaySettings back = LoadDisplaySettings(dir / "userfont.dat");
    EXPECT_EQ(back.Name, "Łódź Sans");
    EXPECT_EQ(back.Style, 3);
    EXPECT_EQ(back.KeyIndex, -1);
    EXPECT_THROW(SaveDisplaySettings(dir / "no/folder/userfont.dat", f, 0), std::exception);
}
