#include "timesync/ServerList.h"

#include <gtest/gtest.h>

#include "base/TextFile.h"
#include "tests/TestDir.h"

using namespace timesync;

namespace {
std::string Name(const std::string& s) { return s + std::string(50 - s.size(), ' '); }
}  // namespace

TEST(ServerListTest, fixed_columns_keep_their_blanks) {
    auto rows = ParseServerList(Name("Warszawa GUM") + "tempus1.gum.gov.pl   \r\n" + Name("Poznań") + "ntp.task.gda.pl\r\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Name, Name("Warszawa GUM"));
    EXPECT_EQ(rows[0].Address, "tempus1.gum.gov.pl   ");
    EXPECT_TRUE(AddressHasBlank(rows[0].Address));
    EXPECT_EQ(rows[1].Address, "ntp.task.gda.pl");
}

TEST(ServerListTest, fifty_and_eighty_character_lines) {
    std::string eighty = Name("x") + "1234567890123456789012345" + "ignored";
    auto rows = ParseServerList(Name("fifty") + "\r\n" + eighty.substr(0, 80) + "\r\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Address, "");
    EXPECT_EQ(rows[1].Name, Name("x"));
    EXPECT_EQ(rows[1].Address, "1234567890123456789012345");
}

TEST(ServerListTest, empty_file_leaves_one_empty_row_and_leading_empty_lines_vanish) {
    auto empty = ParseServerList("");
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0].Name, "");
    auto rows = ParseServerList("\r\n\n" + Name("a") + "1.2.3.4\r\n\r\n" + Name("b") + "5.6.7.8");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Address, "1.2.3.4");
    EXPECT_EQ(rows[1].Name, "");  // a later empty line is a row
    EXPECT_EQ(rows[2].Address, "5.6.7.8");
}

TEST(ServerListTest, lone_cr_dropped_lf_ends_a_line_and_character_26_ends_the_file) {
    auto rows = ParseServerList(Name("a") + "1.2.\r3.4\n" + Name("b") + "5.6.7.8\x1A" + Name("c") + "9.9.9.9\r\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Address, "1.2.3.4");
    EXPECT_EQ(rows[1].Address, "5.6.7.8");
}

TEST(ServerListTest, polish_names_are_read_from_cp1250_counting_bytes_as_characters) {
    std::string name = "Gda\xF1sk \xA3\xF3" "d\x9F";  // "Gdańsk Łódź" in cp1250
    auto rows = ParseServerList(name + std::string(50 - name.size(), ' ') + "ntp.loopback.test");
    EXPECT_EQ(rows[0].Name.substr(0, 15), "Gdańsk Łódź");
    EXPECT_EQ(rows[0].Address, "ntp.loopback.test");
}

TEST(ServerListTest, result_texts) {
    base::TFormatSettings pl{":", ","};
    base::TSystemTime t = base::SystemTimeFromUnixMs(1796683869000LL);  // 2026-12-07 22:51:09
    EXPECT_EQ(CorrectionText(-0.004, t, pl), "Poprawka: -0,004 s (07-12-2026 / 22:51:09)");
    EXPECT_EQ(CorrectionText(0.0, t, pl), "Poprawka: 0,000 s (07-12-2026 / 22:51:09)");
    EXPECT_EQ(CorrectionText(12.3456, t, base::TFormatSettings{".", "."}), "Poprawka: 12.346 s (07-12-2026 / 22.51.09)");
    EXPECT_EQ(StratumText(1, std::string("GPS\0", 4)), "Serwer: STRATUM 1, źródło czasu serwera: GPS");
    EXPECT_EQ(StratumText(2, "1.2.3.4"), "Serwer: STRATUM 2, źródło czasu serwera: 1.2.3.4");
    EXPECT_EQ(ConnectionText("pool.ntp.org", "pc1"), "Połączenie: pool.ntp.org <===> pc1 ");
}

TEST(ServerListTest, corrections_log_first_line_has_no_colon_later_ones_do) {
    testing_support::TTempDir dir;
    const std::string text = "Poprawka: -0,004 s (07-12-2026 / 22:51:09)";
    AppendCorrection(dir / "dtime.txt", text, "1.2.3.4");
    AppendCorrection(dir / "dtime.txt", text, "tempus1.gum.gov.pl");
    EXPECT_EQ(testing_support::Slurp(dir / "dtime.txt"),
              "Poprawka: -0,004 s (07-12-2026 / 22:51:09)        Serwer 1.2.3.4\r\n"
              "Poprawka: -0,004 s (07-12-2026 / 22:51:09)        Serwer: tempus1.gum.gov.pl\r\n");
    EXPECT_EQ(CorrectionLogLine(std::string(60, 'x'), "a", false), std::string(60, 'x') + "Serwer: a\r\n");
}
