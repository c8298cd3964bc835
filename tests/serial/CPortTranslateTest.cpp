// Its own test program: translation changes the process-wide message table.
#include "serial/CPortTranslate.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "serial/CPortTypes.h"
#include "tests/TestDir.h"

using namespace serial;

TEST(CPortTranslateTest, english_without_a_catalogue_polish_with_ours) {
    // A Polish locale of our own making: the machine need not have one generated.
    testing_support::TTempDir locales;
    std::string cmd = "localedef -i pl_PL -f UTF-8 " + (locales / "pl_PL.UTF-8") + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 && !std::filesystem::exists(locales / "pl_PL.UTF-8")) GTEST_SKIP() << "no localedef";
    setenv("LOCPATH", locales.Path().c_str(), 1);
    unsetenv("LANGUAGE");
    ASSERT_NE(std::setlocale(LC_ALL, "pl_PL.UTF-8"), nullptr);

    InitComMessageTranslation(locales / "no-catalogues-here");
    EXPECT_EQ(ComErrorText(1), "Unable to open com port");
    EXPECT_STREQ(EComPort(1, 2).what(), "Unable to open com port (win error code: 2)");

    InitComMessageTranslation(TEMPIX_LOCALE_DIR);
    EXPECT_EQ(ComErrorText(1), "Nie można otworzyć portu COM");
    EXPECT_EQ(ComErrorText(23), "Błąd rejestru");
    EXPECT_STREQ(EComPort(1, 2).what(), "Nie można otworzyć portu COM (kod błędu Windows: 2)");
    EXPECT_STREQ(EComPort(14).what(), "Nie można zmienić ustawienia, gdy port jest otwarty");
    std::setlocale(LC_ALL, "C");
}
