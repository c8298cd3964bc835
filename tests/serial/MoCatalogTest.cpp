#include "serial/MoCatalog.h"

#include <cstring>

#include <gtest/gtest.h>

#include "tests/TestDir.h"

using serial::TMoCatalog;

TEST(MoCatalog, our_polish_catalogue_and_what_is_not_in_it) {
    TMoCatalog c;
    ASSERT_TRUE(c.Load(std::string(TEMPIX_LOCALE_DIR) + "/pl/LC_MESSAGES/cport.mo"));
    EXPECT_GE(c.Size(), 23u);
    EXPECT_EQ(c.Translate("Unable to open com port"), "Nie można otworzyć portu COM");
    EXPECT_EQ(c.Translate("Registry error"), "Błąd rejestru");
    EXPECT_EQ(c.Translate("No such message"), "No such message");
    EXPECT_EQ(c.Translate(""), "");  // the header entry is not a translation
}

TEST(MoCatalog, missing_short_and_lying_files_give_an_empty_catalogue) {
    testing_support::TTempDir dir;
    TMoCatalog c;
    EXPECT_FALSE(c.Load(dir / "missing.mo"));
    testing_support::Spit(dir / "short.mo", std::string("\xde\x12\x04\x95", 4));
    EXPECT_FALSE(c.Load(dir / "short.mo"));
    // The right magic, one entry, its offsets far past the end of the file.
    std::string lying("\xde\x12\x04\x95\0\0\0\0\1\0\0\0\x1c\0\0\0\x24\0\0\0", 20);
    lying += std::string("\xff\0\0\0\xff\xff\0\0\xff\0\0\0\xff\xff\0\0", 16);
    testing_support::Spit(dir / "lying.mo", lying);
    EXPECT_FALSE(c.Load(dir / "lying.mo"));
    EXPECT_EQ(c.Size(), 0u);
    EXPECT_EQ(c.Translate("Registry error"), "Registry error");
}

TEST(MoCatalog, entries_sharing_one_long_text_cost_no_more_than_the_file) {
    // 32768 originals and translations, all one 128 KiB text: copied out, 8 GiB.
    const uint32_t count = 32768, textLen = 128 << 10;
    const uint32_t origTable = 28, transTable = origTable + count * 8, text = transTable + count * 8;
    std::string mo(text, '\0');
    auto put = [&](uint32_t at, uint32_t v) { std::memcpy(&mo[at], &v, 4); };
    put(0, 0x950412de), put(8, count), put(12, origTable), put(16, transTable);
    for (uint32_t i = 0; i < count; ++i) {
        put(origTable + i * 8, textLen), put(origTable + i * 8 + 4, text);
        put(transTable + i * 8, textLen), put(transTable + i * 8 + 4, text);
    }
    mo += std::string(textLen, 'a');
    testing_support::TTempDir dir;
    testing_support::Spit(dir / "big.mo", mo);
    TMoCatalog c;
    ASSERT_TRUE(c.Load(dir / "big.mo"));
    EXPECT_EQ(c.Size(), count);
    EXPECT_EQ(c.Translate(std::string(textLen, 'a')), std::string(textLen, 'a'));
    EXPECT_EQ(c.Translate("Registry error"), "Registry error");
}

TEST(MoCatalog, language_of_locale_names) {
    EXPECT_EQ(serial::LanguageOfLocaleName("pl_PL.UTF-8"), "pl");
    EXPECT_EQ(serial::LanguageOfLocaleName("pl-PL"), "pl");
    EXPECT_EQ(serial::LanguageOfLocaleName("de"), "de");
    EXPECT_EQ(serial::LanguageOfLocaleName("sr_RS@latin"), "sr");
    EXPECT_EQ(serial::LanguageOfLocaleName("C"), "");
    EXPECT_EQ(serial::LanguageOfLocaleName("C.UTF-8"), "");
    EXPECT_EQ(serial::LanguageOfLocaleName("POSIX"), "");
    EXPECT_EQ(serial::LanguageOfLocaleName("pl:en"), "pl");  // LANGUAGE's list: the first
    EXPECT_EQ(serial::LanguageOfLocaleName("pl_PL.UTF-8:de"), "pl");
}
