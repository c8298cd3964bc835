// Its own test program: the locale is the whole process's.
#include "app/UserLocale.h"

#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>
#include <wx/filedlg.h>
#include <wx/init.h>

#include "base/Format.h"
#include "serial/CPortTypes.h"
#include "tests/GuiTest.h"

namespace {

// The text the button shows: wx gives the dialog GTK's stock buttons, labelled by GTK's own catalogue.
std::string ButtonText(GtkWidget* dialog, int response) {
    GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), response);
    if (!button) return "";
    const char* label = gtk_button_get_label(GTK_BUTTON(button));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GtkStockItem stock;
    if (gtk_button_get_use_stock(GTK_BUTTON(button)) && gtk_stock_lookup(label, &stock)) return stock.label;
    G_GNUC_END_IGNORE_DEPRECATIONS
    return label;
}

// Under the Polish locale: the serial layer, wx and GTK speak Polish, the C library's numbers stay
// as under "C", and the regional decimal separator is still the locale's comma where it is shown.
TEST(UserLocale, polish_texts_and_c_numbers) {
    if (!std::setlocale(LC_ALL, "pl_PL.UTF-8")) GTEST_SKIP() << "no pl_PL.UTF-8 here (scripts/setup makes it)";
    std::setlocale(LC_ALL, "C");
    app::UseUserLocale(TEMPIX_LOCALE_DIR);

    EXPECT_EQ(serial::ComErrorText(1), "Nie można otworzyć portu COM");
    wxFileDialog save(nullptr, "Zapisuj do", "", "time.txt", "*.txt", wxFD_SAVE);
    GtkWidget* dialog = static_cast<GtkWidget*>(save.GetHandle());
    EXPECT_EQ(ButtonText(dialog, GTK_RESPONSE_ACCEPT), "_Zapisz");
    EXPECT_EQ(ButtonText(dialog, GTK_RESPONSE_CANCEL), "_Anuluj");

    char number[32];
    std::snprintf(number, sizeof number, "%.3f", 1.5);
    EXPECT_STREQ(number, "1.500");
    EXPECT_EQ(std::strtod("0.25", nullptr), 0.25);
    EXPECT_EQ(base::UserFormatSettings().DecimalSeparator, ",");
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    setenv("LC_ALL", "pl_PL.UTF-8", 1);
    unsetenv("LANGUAGE");
    if (!gui_test::StartToolkit(argc, argv)) {
        std::fprintf(stderr, "cannot start the toolkit (no DISPLAY?)\n");
        return 1;
    }
    int rc = RUN_ALL_TESTS();
    wxEntryCleanup();
    return rc;
}
