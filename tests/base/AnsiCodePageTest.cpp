#include "base/AnsiCodePage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <gtest/gtest.h>

TEST(AnsiCodePageTest, polish_letters_both_ways) {
    const std::string utf8 = "Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ";
    const std::string ansi = base::Utf8ToAnsi(utf8);
    EXPECT_EQ(ansi, "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1 \xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
    EXPECT_EQ(base::AnsiToUtf8(ansi), utf8);
}

TEST(AnsiCodePageTest, what_the_code_page_lacks_becomes_a_question_mark) {
    EXPECT_EQ(base::Utf8ToAnsi("a\xE2\x82\xAC" "b"), "a\x80" "b");  // the euro sign is there
    EXPECT_EQ(base::Utf8ToAnsi("\xE6\x97\xA5"), "?");               // a CJK character is not
    EXPECT_EQ(base::Utf8ToAnsi("\xC3"), "?");                       // cut UTF-8
    // Overlong forms never sneak in a line end or a NUL; nor do surrogates.
    EXPECT_EQ(base::Utf8ToAnsi(std::string("a\xC0\x8A" "b\xE0\x80\x80" "c\xED\xA0\x80", 11)), "a??b???c???");
    EXPECT_EQ(base::AnsiToUtf8("\x81"), "\xEF\xBF\xBD");
}

// Every byte of the table agrees with the system's own converter.
#ifdef _WIN32
TEST(AnsiCodePageTest, table_matches_windows_1250) {
    for (int b = 0x80; b < 0x100; ++b) {
        char in = static_cast<char>(b);
        wchar_t w[2];
        if (MultiByteToWideChar(1250, MB_ERR_INVALID_CHARS, &in, 1, w, 2) != 1) continue;
        if (w[0] >= 0x80 && w[0] <= 0x9F) continue;  // unassigned: the system passes them on as C1 controls
        char out[8];
        int n = WideCharToMultiByte(CP_UTF8, 0, w, 1, out, sizeof out, nullptr, nullptr);
        EXPECT_EQ(base::AnsiToUtf8(std::string(1, in)), std::string(out, static_cast<size_t>(n))) << "byte " << b;
        EXPECT_EQ(base::Utf8ToAnsi(std::string(out, static_cast<size_t>(n))), std::string(1, in)) << "byte " << b;
    }
}
#else
TEST(AnsiCodePageTest, table_matches_iconv) {
    iconv_t cd = iconv_open("UTF-8", "CP1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1250 in iconv";
    for (int b = 0x80; b < 0x100; ++b) {
        char in = static_cast<char>(b), out[8];
        char* pin = &in;
        char* pout = out;
        size_t nin = 1, nout = sizeof out;
        if (iconv(cd, &pin, &nin, &pout, &nout) == static_cast<size_t>(-1)) continue;  // unassigned
        EXPECT_EQ(base::AnsiToUtf8(std::string(1, in)), std::string(out, pout)) << "byte " << b;
        EXPECT_EQ(base::Utf8ToAnsi(std::string(out, pout)), std::string(1, in)) << "byte " << b;
    }
    iconv_close(cd);
}
#endif
