// The main window's settings file, logs, about box, font choice and mouse mode.
#include <cstdlib>

#include <wx/dcscreen.h>
#include <wx/display.h>
#include <wx/settings.h>

#include <gtest/gtest.h>

#include "app/FontMapping.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "base/TextFile.h"
#include "tests/GuiTest.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/TestDir.h"

using namespace app;
using gui_test::PumpFor;
using gui_test::PumpUntil;
using testing_support::Slurp;
using testing_support::Spit;

namespace {

class Unit1SettingsGuiTest : public gui_test::TMainWindowFixture {
protected:
    TForm1* Open() {
        form = new TForm1(services);
        form->Show();
        PumpUntil([&] { return form->FrameCount() > 2; });
        return form;
    }
    // Closes as the close box does; true when the window went away.
    bool CloseForm() {
        wxWindowID id = form->GetId();
        form->Close();
        PumpFor(30);
        if (wxWindow::FindWindowById(id)) return false;
        form = nullptr;
        return true;
    }
    void TearDown() override {
        if (form) {
            std::filesystem::remove_all(dir / "userfont.dat");
            form->Close(true);
            PumpFor(30);
        }
    }
    static std::string Sh(const std::string& cmd) {
        std::string out;
        FILE* p = popen(cmd.c_str(), "r");
        char buf[256];
        while (p && fgets(buf, sizeof buf, p)) out += buf;
        if (p) pclose(p);
        return out;
    }

    TForm1* form = nullptr;
};

}  // namespace

TEST_F(Unit1SettingsGuiTest, first_start_uses_the_fallback_and_closing_writes_the_eight_lines) {
    Open();
    EXPECT_TRUE(dialogs.Shown.empty());
    EXPECT_EQ(form->Panel2->GetFont().GetFaceName(), "Arial");
    EXPECT_EQ(form->Panel2->GetFont().GetPointSize(), 36);
    EXPECT_EQ(form->DisplayFont().Charset, 238);
    EXPECT_EQ(form->RadioGroup1->GetSelection(), 0);
    form->RadioGroup1->SetSelection(2);
    ASSERT_TRUE(CloseForm());
    int dpi = wxScreenDC().GetPPI().y;
    EXPECT_EQ(Slurp(dir / "userfont.dat"),
              "238\r\n-2147483640\r\n" + std::to_string(-(36 * dpi + 36) / 72) + "\r\nArial\r\n0\r\n36\r\n0\r\n2\r\n");

    Open();  // the next start restores the key
    EXPECT_EQ(form->RadioGroup1->GetSelection(), 2);
}

TEST_F(Unit1SettingsGuiTest, stored_font_and_out_of_range_key_are_applied) {
    Spit(dir / "userfont.dat", "238\r\n255\r\n-20\r\nLiberation Mono\r\n2\r\n20\r\n2\r\n7\r\n");
    Open();
    EXPECT_EQ(form->Panel2->GetFont().GetFaceName(), "Liberation Mono");
    EXPECT_EQ(form->Panel2->GetFont().GetPointSize(), 20);
    EXPECT_EQ(form->Panel2->GetFont().GetStyle(), wxFONTSTYLE_ITALIC);
    EXPECT_EQ(form->Panel2->GetForegroundColour(), wxColour(255, 0, 0));
    EXPECT_EQ(form->Panel2->GetToolTipText(), "Liberation Mono");
    EXPECT_EQ(form->RadioGroup1->GetSelection(), 3);
}

// A negative size is a character cell in pixels: size -40 is a cell 40 points high, whatever the face.
TEST_F(Unit1SettingsGuiTest, a_stored_negative_size_draws_a_cell_of_that_many_points) {
    const int dpi = wxScreenDC().GetPPI().y;
    const std::string height = std::to_string((40 * dpi + 36) / 72);
    const std::string stored = "238\r\n255\r\n" + height + "\r\nLiberation Serif\r\n0\r\n-40\r\n0\r\n1\r\n";
    Spit(dir / "userfont.dat", stored);
    Open();
    wxScreenDC dc;
    dc.SetFont(form->Panel2->GetFont());
    EXPECT_NEAR(dc.GetCharHeight(), std::stoi(height), 1);
    ASSERT_TRUE(CloseForm());
    EXPECT_EQ(Slurp(dir / "userfont.dat"), stored);  // the file's bytes as they were
}

TEST_F(Unit1SettingsGuiTest, a_stored_minus_one_leaves_no_key_and_is_written_back) {
    Spit(dir / "userfont.dat", "238\r\n255\r\n-20\r\nArial\r\n0\r\n20\r\n0\r\n-5\r\n");
    Open();
    form->Raise();
    ASSERT_TRUE(PumpUntil([&] { return form->IsActive(); }));
    form->RadioGroup1->SetFocus();
    EXPECT_EQ(form->RadioGroup1->GetSelection(), -1);
    for (const char* key : {"Return", "Pause", "Insert", "Escape", "KP_Enter"}) gui_test::TapKey(key);
    PumpFor(200);
    EXPECT_FALSE(base::FileExists(dir / "time.txt"));
    ASSERT_TRUE(CloseForm());
    EXPECT_TRUE(Slurp(dir / "userfont.dat").ends_with("\r\n0\r\n-1\r\n"));
}

// A save that fails asks whether to close all the same: No keeps the window open and ticking, and
// the next close tries again; Yes closes without the settings.
TEST_F(Unit1SettingsGuiTest, a_failing_save_asks_and_the_user_decides) {
    Open();
    std::filesystem::create_directory(dir / "userfont.dat");
    EXPECT_FALSE(CloseForm());
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Text, "File access denied.");
    ASSERT_EQ(dialogs.Asked.size(), 1u);
    EXPECT_EQ(dialogs.Asked[0], "Zamykanie programu: Nie można zapisać ustawień wyświetlania do pliku " + dir.Path() +
                                    "userfont.dat.\r\nCzy mimo to zamknąć program bez zapisania ustawień?");
    long ticks = form->FrameCount();
    EXPECT_TRUE(PumpUntil([&] { return form->FrameCount() > ticks + 5; }));
    std::filesystem::remove(dir / "userfont.dat");
    EXPECT_TRUE(CloseForm());  // the next close tries again
    EXPECT_TRUE(base::FileExists(dir / "userfont.dat"));

    Open();
    std::filesystem::remove(dir / "userfont.dat");
    std::filesystem::create_directory(dir / "userfont.dat");
    dialogs.NextAnswer = true;
    EXPECT_TRUE(CloseForm());
    EXPECT_EQ(dialogs.Asked.size(), 2u);
}

// A settings file the user made read-only is not replaced behind the user's back (root included,
// whom the permissions would not stop): the close reports it and the window stays.
TEST_F(Unit1SettingsGuiTest, a_read_only_settings_file_is_kept_and_the_window_stays_open) {
    const std::string stored = "238\r\n255\r\n-20\r\nArial\r\n0\r\n15\r\n0\r\n2\r\n";
    Spit(dir / "userfont.dat", stored);
    std::filesystem::permissions(dir / "userfont.dat", std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    Open();
    form->RadioGroup1->SetSelection(0);
    EXPECT_FALSE(CloseForm());
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Text, "File access denied.");
    EXPECT_EQ(Slurp(dir / "userfont.dat"), stored);
    EXPECT_FALSE(std::filesystem::exists(dir / "userfont.dat.new"));
    std::filesystem::permissions(dir / "userfont.dat", std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    EXPECT_TRUE(CloseForm());
    EXPECT_NE(Slurp(dir / "userfont.dat"), stored);  // the key choice changed
    EXPECT_EQ(std::filesystem::status(dir / "userfont.dat").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_read);
}

TEST_F(Unit1SettingsGuiTest, logs_open_through_the_shell_or_say_which_file_is_missing) {
    Open();
    shell.Succeed = false;
    gui_test::ClickButton(form->Button3);
    gui_test::ClickButton(form->Button6);
    ASSERT_EQ(dialogs.Shown.size(), 2u);
    EXPECT_EQ(dialogs.Shown[0].Text, "Brak pliku logów " + dir.Path() + "time.txt");
    EXPECT_EQ(dialogs.Shown[1].Text, "Brak pliku logów użytkownika " + dir.Path() + "temp.txt");
    EXPECT_EQ(dialogs.Shown[1].Caption, "Brak pliku");
    EXPECT_TRUE(form->RadioGroup1->HasFocusInside());
}

TEST_F(Unit1SettingsGuiTest, chosen_user_log_changes_the_log_and_the_about_box_but_not_the_status_bar) {
    Open();
    const wxString status = form->StatusBar1->Caption();
    Spit(dir / "mine.txt", "old\r\n");
    dialogs.NextSaveName = dir / "mine.txt";
    gui_test::ClickButton(form->Button5);
    EXPECT_EQ(form->Paths().UserLog, dir / "mine.txt");
    EXPECT_EQ(form->StatusBar1->Caption(), status);
    form->CaptureRoutine(base::SystemClock().UnixUsNow());
    ASSERT_TRUE(form->Records().WaitWritten(std::chrono::seconds(5)));
    EXPECT_EQ(Slurp(dir / "mine.txt").substr(0, 5), "old\r\n");  // kept, the record after it
    EXPECT_EQ(Slurp(dir / "mine.txt").size(), 5u + 35u);
    dialogs.NextSaveName.reset();
    gui_test::ClickButton(form->Button5);  // cancelled: nothing changes
    EXPECT_EQ(form->Paths().UserLog, dir / "mine.txt");

    gui_test::ClickButton(form->Button4);
    const std::string p = dir.Path();
    EXPECT_EQ(dialogs.Shown.back().Caption, "O programie Tempix ver 1.2");
    EXPECT_EQ(dialogs.Shown.back().Text,
              "\r\n\r\nWszystkie złapane czasy zapisywane są do pliku:\r\n" + p + "time.txt\r\n"
              "Wszystkie poprawki czasu zapisywane są do pliku:\r\n" + p + "dtime.txt\r\n"
              "Scieżka do pliku użytkownika: \r\n" + p + "mine.txt\r\n"
              "Program do synchronizacji daty i czasu używa serwerów czasu,\r\n"
              "których adresy znajdują się w pliku: \r\n" + p + "sndata.txt\r\n\r\nKlawisz F1 otwiera POMOC");
    EXPECT_EQ(WithDefaultExtension("/a/bez nazwy", "txt"), "/a/bez nazwy.txt");
    EXPECT_EQ(WithDefaultExtension("/a.b/log.csv", "txt"), "/a.b/log.csv");
}

TEST_F(Unit1SettingsGuiTest, font_dialog_has_its_own_font_and_the_choice_applies_whole) {
    Open();
    wxMouseEvent click(wxEVT_LEFT_UP);
    form->Panel2->ProcessWindowEvent(click);  // cancelled
    ASSERT_EQ(dialogs.FontDialogOpenedWith.size(), 1u);
    EXPECT_EQ(dialogs.FontDialogOpenedWith[0].GetFaceName(), "Times New Roman");
    EXPECT_EQ(form->Panel2->GetFont().GetFaceName(), "Arial");
    EXPECT_EQ(form->Panel2->GetToolTipText(), "Arial");
    dialogs.NextFont = wxFont(24, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD, true, "Liberation Serif");
    dialogs.NextColour = wxColour(0, 0, 255);
    form->Panel2->ProcessWindowEvent(click);
    EXPECT_EQ(form->Panel2->GetFont().GetFaceName(), "Liberation Serif");
    EXPECT_EQ(form->Panel2->GetToolTipText(), "Liberation Serif");
    EXPECT_EQ(form->DisplayFont().Style, 1 | 4);
    EXPECT_EQ(form->DisplayFont().Color, 0xFF0000);
    form->Panel2->ProcessWindowEvent(click);
    EXPECT_EQ(dialogs.FontDialogOpenedWith[2].GetFaceName(), "Liberation Serif");  // remembered
    EXPECT_EQ(ColorValueOf(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT)), clWindowText);
    EXPECT_EQ(CharsetOfEncoding(EncodingOfCharset(238)), 238);
}

TEST_F(Unit1SettingsGuiTest, mouse_lock_confines_the_cursor_and_captures_completed_left_clicks) {
    Open();
    auto* lock = new TForm3(form, *form);
    lock->Show();
    ASSERT_TRUE(PumpUntil([&] { return lock->IsShown(); }));
    PumpFor(200);
    wxRect screen = wxDisplay().GetGeometry();
    wxRect outer = lock->GetScreenRect();
    EXPECT_EQ(outer.x, screen.width - outer.width - 80);
    EXPECT_EQ(outer.y, screen.height - outer.height - 80);
    EXPECT_EQ(lock->GetTitle(), "Blokada myszy");

    Sh("xdotool mousemove 5 5");
    int x = 0, y = 0;
    sscanf(Sh("xdotool getmouselocation").c_str(), "x:%d y:%d", &x, &y);
    wxRect panel(lock->Panel1->ClientToScreen(wxPoint(0, 0)), lock->Panel1->GetSize());
    EXPECT_TRUE(panel.Contains(x, y)) << x << "," << y;

    Sh("xdotool click 1");
    PumpFor(100);
    Sh("xdotool click --repeat 2 --delay 60 1");
    PumpFor(100);
    Sh("xdotool click 3");
    PumpFor(100);
    EXPECT_EQ(Slurp(dir / "time.txt").size(), 2u * 35u);
    gui_test::TapKey("F9");
    gui_test::TapKey("Escape");
    PumpFor(100);
    EXPECT_TRUE(lock->IsShown());
    gui_test::TapKey("F9", "Shift_L");
    ASSERT_TRUE(PumpUntil([&] { return !lock->IsShown(); }));
    Sh("xdotool mousemove 5 5");
    sscanf(Sh("xdotool getmouselocation").c_str(), "x:%d y:%d", &x, &y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 5);
    EXPECT_TRUE(form->RadioGroup1->HasFocusInside());
    lock->Destroy();
}

namespace {

// Another program holds the pointer (a grab that does not end): mouse mode says once that it cannot
// keep the cursor in, however often the window is activated; once the grab is gone it confines.
TEST_F(Unit1SettingsGuiTest, a_pointer_held_by_another_program_is_reported_once_then_confined_when_free) {
    Open();
    gui_test::TPointerGrabElsewhere other;
    ASSERT_TRUE(other.Held());
    auto* lock = new TForm3(form, *form);
    lock->Show();
    ASSERT_TRUE(PumpUntil([&] { return !dialogs.Shown.empty(); }));
    lock->LockCursor();
    PumpFor(100);
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Caption, "Brak blokady myszy");

    other.Release();
    lock->LockCursor();
    Sh("xdotool mousemove 5 5");
    int x = 0, y = 0;
    sscanf(Sh("xdotool getmouselocation").c_str(), "x:%d y:%d", &x, &y);
    EXPECT_TRUE(lock->GetScreenRect().Contains(x, y)) << x << "," << y;
    EXPECT_EQ(dialogs.Shown.size(), 1u);
    lock->Close();
    lock->Destroy();
}

}  // namespace
