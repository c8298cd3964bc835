#include "app/Unit1.h"
#include "app/Unit3.h"

#include <algorithm>
#include <regex>
#include <vector>

#include <gtest/gtest.h>

#include "base/ClockSim.h"
#include "base/TextFile.h"
#include "tests/GuiTest.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/TestDir.h"

using namespace app;
using gui_test::PumpFor;
using gui_test::PumpUntil;
using gui_test::TapKey;
using testing_support::Slurp;

namespace {

const std::regex kRecord(R"(   \d\d:\d\d:\d\d,\d{3} UT   \(\d\d-\d\d-\d{4}\)\r\n)");

class Unit1GuiTest : public gui_test::TMainWindowFixture {
protected:
    void SetUp() override {
        form = new TForm1(services);
        form->Show();
        form->Raise();
        ASSERT_TRUE(PumpUntil([&] { return form->FrameCount() > 3 && form->IsActive(); }))
            << "the main window never became active";
        form->RadioGroup1->SetFocus();
        PumpFor(50);
    }
    void TearDown() override {
        form->Destroy();
        PumpFor(20);
    }

    size_t Records(const std::string& name) { return Slurp(dir / name).size() / 35; }

    // Presses a key and waits until the main time log holds `records` records, and the user log
    // its own (written after it).
    bool CaptureBy(const std::string& key, size_t records, const std::string& modifier = "") {
        TapKey(key, modifier);
        return PumpUntil([&] { return Records("time.txt") >= records; }, 3000) &&
               form->Records().WaitWritten(std::chrono::seconds(5));
    }

    TForm1* form = nullptr;
};

}  // namespace

TEST_F(Unit1GuiTest, layout_names_captions_and_sizes) {
    EXPECT_EQ(form->GetClientSize(), wxSize(537, 363));
    EXPECT_FALSE(form->HasFlag(wxMAXIMIZE_BOX));
    EXPECT_FALSE(form->HasFlag(wxRESIZE_BORDER));
    EXPECT_TRUE(form->HasFlag(wxMINIMIZE_BOX));
    EXPECT_EQ(form->GroupBox1->GetLabel(), "Czas aktualny");
    EXPECT_EQ(form->GroupBox2->GetLabel(), "Czas zatrzymany");
    EXPECT_EQ(form->GroupBox3->GetLabel(), "Aktywna mysz/port");
    EXPECT_EQ(form->RadioGroup1->GetRect(), wxRect(8, 224, 105, 113));
    EXPECT_EQ(form->RadioGroup1->GetCount(), 4u);
    EXPECT_EQ(form->RadioGroup1->GetString(3), "Esc");
    EXPECT_EQ(form->RadioGroup1->GetSelection(), 0);
    const std::pair<wxButton*, const char*> buttons[] = {
        {form->Button1, "&Zamknij"},   {form->Button2, "&Ustaw czas"}, {form->Button3, "&Pokaż log"},
        {form->Button4, "&O programie"}, {form->Button5, "Zapi&suj do"}, {form->Button6, "Mój &log"},
        {form->Button7, "Użyj &myszy"}, {form->Button8, "Użyj por&tu"}};
    for (auto [b, caption] : buttons) {
        EXPECT_EQ(b->GetLabel(), wxString::FromUTF8(caption));
        EXPECT_EQ(b->GetSize(), wxSize(75, 25));
    }
    EXPECT_EQ(form->Button2->GetPosition(), wxPoint(256, 256));
    EXPECT_EQ(form->Button1->GetPosition(), wxPoint(432, 296));
    EXPECT_EQ(form->StatusBar1->Caption(), wxString::FromUTF8("Czasy są zapisywane do: " + dir.Path() + "time.txt"));
    EXPECT_EQ(form->Panel2->Caption(), "00:00:00,000 UT");
    EXPECT_EQ(form->Panel2->GetFont().GetFaceName(), "Arial");
    EXPECT_EQ(form->Panel2->GetFont().GetPointSize(), 36);
    EXPECT_EQ(form->Panel2->GetToolTipText(), "Arial");
}

// A window moved to a monitor of another DPI is laid out again for it: every place and pixel font
// in proportion, and back at 96 DPI to the very pixel.
TEST_F(Unit1GuiTest, the_layout_placed_again_at_another_scale_keeps_its_proportions) {
    TLayout& layout = form->WindowLayout();
    const double desktop = layout.Ratio();
    layout.Rescale(1.5);
    EXPECT_EQ(form->GetClientSize(), wxSize(806, 545));
    EXPECT_EQ(form->Button2->GetRect(), wxRect(384, 384, 113, 38));
    EXPECT_EQ(form->RadioGroup1->GetRect(), wxRect(12, 336, 158, 170));
    EXPECT_EQ(form->StatusBar1->GetRect(), wxRect(0, 513, 806, 32));
    layout.Rescale(1.0);
    EXPECT_EQ(form->GetClientSize(), wxSize(537, 363));
    EXPECT_EQ(form->Button2->GetRect(), wxRect(256, 256, 75, 25));
    EXPECT_EQ(form->RadioGroup1->GetRect(), wxRect(8, 224, 105, 113));
    EXPECT_EQ(form->StatusBar1->GetRect(), wxRect(0, 342, 537, 21));
    layout.Rescale(desktop);
}

// A change of DPI is passed on once the layout is redone: on Windows the toolkit then gives the
// window the rectangle Windows suggests.
TEST_F(Unit1GuiTest, a_dpi_change_is_passed_on_to_the_toolkit) {
    wxDPIChangedEvent change(wxSize(96, 96), wxSize(144, 144));
    change.SetEventObject(form);
    form->ProcessWindowEvent(change);
    EXPECT_TRUE(change.GetSkipped());
}

TEST_F(Unit1GuiTest, ticks_show_utc_and_the_caption_local_time_with_the_offset) {
    ASSERT_TRUE(PumpUntil([&] { return form->FrameCount() > 20; }));
    std::string live = form->Panel1->Caption().utf8_string();
    EXPECT_TRUE(std::regex_match(live, std::regex(R"(\d\d:\d\d:\d\d,\d{3} UT)"))) << live;
    std::string caption = form->GetTitle().utf8_string();
    EXPECT_TRUE(std::regex_match(caption, std::regex(R"(\d\d:\d\d:\d\d Tempix ver 1\.2 \(GMT [+-]\d\d:\d\d\))")))
        << caption;
    EXPECT_EQ(ApplicationTitle(), caption.substr(0, caption.find(" (GMT")));
    EXPECT_TRUE(std::regex_match(form->DateText(), std::regex(R"(\(\d\d-\d\d-\d{4}\))")));
}

TEST_F(Unit1GuiTest, enter_captures_into_the_display_and_both_logs) {
    ASSERT_TRUE(CaptureBy("Return", 1));
    ASSERT_TRUE(PumpUntil([&] { return Records("temp.txt") == 1; }));
    std::string record = Slurp(dir / "time.txt");
    EXPECT_TRUE(std::regex_match(record, kRecord)) << record;
    EXPECT_EQ(Slurp(dir / "temp.txt"), record);
    EXPECT_EQ(record.substr(3, 15), form->Panel2->Caption().utf8_string());
    EXPECT_EQ(record.substr(21, 12), form->DateText().substr(0, 12));
    EXPECT_TRUE(dialogs.Shown.empty());
}

TEST_F(Unit1GuiTest, only_the_chosen_key_captures_keypad_and_shift_included) {
    ASSERT_TRUE(CaptureBy("KP_Enter", 1));
    ASSERT_TRUE(CaptureBy("Return", 2, "Shift_L"));
    form->RadioGroup1->SetSelection(1);  // Pause
    form->RadioGroup1->SetFocus();
    TapKey("Return");
    PumpFor(150);
    EXPECT_EQ(Records("time.txt"), 2u);
    ASSERT_TRUE(CaptureBy("Pause", 3));
    form->RadioGroup1->SetSelection(2);  // Insert, also from the keypad with Num Lock off
    form->RadioGroup1->SetFocus();
    ASSERT_TRUE(CaptureBy("Insert", 4));
    ASSERT_TRUE(CaptureBy("KP_Insert", 5));
    form->RadioGroup1->SetSelection(3);
    form->RadioGroup1->SetFocus();
    ASSERT_TRUE(CaptureBy("Escape", 6));
    EXPECT_EQ(Records("temp.txt"), 6u);
}

TEST_F(Unit1GuiTest, every_repeat_of_a_held_key_captures) {
    // Held past the X server's auto-repeat delay: the first press and every repeat capture.
    gui_test::PressKey("Return");
    PumpFor(1500);
    gui_test::ReleaseKey("Return");
    PumpFor(100);
    ASSERT_TRUE(form->Records().WaitWritten(std::chrono::seconds(5)));
    EXPECT_GE(Records("time.txt"), 3u);
    EXPECT_EQ(Records("temp.txt"), Records("time.txt"));
}

TEST_F(Unit1GuiTest, keys_go_on_to_the_key_choice_and_f1_opens_help) {
    TapKey("Down");
    ASSERT_TRUE(PumpUntil([&] { return form->RadioGroup1->GetSelection() == 1; })) << "the arrow never moved the choice";
    TapKey("Return");
    PumpFor(100);
    EXPECT_EQ(Records("time.txt"), 0u);
    ASSERT_TRUE(CaptureBy("Pause", 1));
    TapKey("F1");
    ASSERT_TRUE(PumpUntil([&] { return !help.Calls.empty(); }));
    EXPECT_EQ(help.Calls[0], "contents " + dir.Path() + "TEMPIX.HLP");
}

// A main log that cannot be written: the user log gets its records all the same, the first failure
// is told once with what becomes of the record, the count of those waiting stands beside the stopped
// time, and once the log can be written they are in it, in order, and the count goes. A close while
// records wait asks; answered No, the window stays.
TEST_F(Unit1GuiTest, records_a_log_cannot_take_wait_are_counted_and_written_when_it_can) {
    std::filesystem::create_directory(dir / "time.txt");  // not writable as a file, even for root
    TapKey("Return");
    ASSERT_TRUE(PumpUntil([&] { return !dialogs.Shown.empty(); }));
    EXPECT_EQ(dialogs.Shown[0].Text, "File access denied.\r\nCzas został zachowany i zostanie dopisany do pliku " +
                                         dir.Path() + "time.txt, gdy tylko będzie można do niego pisać.");
    EXPECT_EQ(dialogs.Shown[0].Caption, ApplicationTitle());
    EXPECT_EQ(dialogs.Shown[0].Icon, TMsgIcon::Error);
    EXPECT_NE(form->Panel2->Caption(), "00:00:00,000 UT");
    ASSERT_TRUE(PumpUntil([&] { return Records("temp.txt") == 1; }));
    TapKey("Return");
    ASSERT_TRUE(PumpUntil([&] { return Records("temp.txt") == 2; }));
    ASSERT_TRUE(PumpUntil([&] { return form->GroupBox2->GetLabel() == wxString::FromUTF8("Czas zatrzymany – czeka na zapis: 2"); }))
        << form->GroupBox2->GetLabel();
    EXPECT_EQ(dialogs.Shown.size(), 1u);

    form->Close();
    EXPECT_TRUE(form->IsShown());
    ASSERT_EQ(dialogs.Asked.size(), 1u);
    EXPECT_EQ(dialogs.Asked[0], "Niezapisane czasy: Czasy, których nie udało się jeszcze zapisać: 2.\r\n"
                                "Zostaną zapisane przy następnym uruchomieniu programu.\r\nCzy mimo to zamknąć program?");

    std::filesystem::remove(dir / "time.txt");
    ASSERT_TRUE(PumpUntil([&] { return form->GroupBox2->GetLabel() == "Czas zatrzymany"; }, 5000));
    EXPECT_EQ(Slurp(dir / "time.txt"), Slurp(dir / "temp.txt"));
    EXPECT_EQ(dialogs.Shown.size(), 1u);
}

TEST_F(Unit1GuiTest, an_error_of_any_type_reaches_the_standard_report) {
    EXPECT_FALSE(Guarded(dialogs, [] { throw 42; }));
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Text, "Unknown exception.");
    EXPECT_EQ(dialogs.Shown[0].Caption, ApplicationTitle());
}

namespace {

// The PC clock held at 00:00:00,020 on 10-12-2026, its monotonic clock on a whole millisecond.
class Unit1TriggerTimeGuiTest : public gui_test::TMainWindowFixture {
protected:
    void SetUp() override {
        clock.UtcMs = 1796860800020LL;
        clock.MonoUs = 9'000'000'000LL;
        services.Clock = &clock;
        form = new TForm1(services);
        form->Show();
        ASSERT_TRUE(PumpUntil([&] { return form->FrameCount() > 0; }));
    }
    void TearDown() override {
        form->Destroy();
        PumpFor(20);
    }
    // A press of Enter that the display server stamped `msAgo` milliseconds before now.
    std::string KeyStampedAgo(int64_t msAgo) {
        wxKeyEvent key(wxEVT_CHAR_HOOK);
        key.m_keyCode = WXK_RETURN;
        key.SetTimestamp(static_cast<long>(clock.MonoUs / 1000 - msAgo));
        form->ProcessWindowEvent(key);
        return LastRecord();
    }
    std::string LastRecord() {
        form->Records().WaitWritten(std::chrono::seconds(5));
        std::string log = Slurp(dir / "time.txt");
        return log.size() < 35 ? log : log.substr(log.size() - 35);
    }

    base::TFakeClock clock;
    TForm1* form = nullptr;
};

}  // namespace

TEST_F(Unit1TriggerTimeGuiTest, a_key_or_click_records_its_own_time_however_late_it_is_handled) {
    // Handled 20 ms into the new day, made 21 ms before: the old day's last millisecond, its date.
    EXPECT_EQ(KeyStampedAgo(21), "   23:59:59,999 UT   (09-12-2026)\r\n");
    EXPECT_EQ(form->Panel2->Caption(), "23:59:59,999 UT");
    EXPECT_EQ(KeyStampedAgo(50), "   23:59:59,970 UT   (09-12-2026)\r\n");
    form->Records().WaitWritten(std::chrono::seconds(5));
    EXPECT_EQ(Slurp(dir / "temp.txt").substr(35), "   23:59:59,970 UT   (09-12-2026)\r\n");
    // A stamp ahead of the clock, or older than a second, is not believed: the clock now.
    EXPECT_EQ(KeyStampedAgo(-1), "   00:00:00,020 UT   (10-12-2026)\r\n");
    EXPECT_EQ(KeyStampedAgo(1001), "   00:00:00,020 UT   (10-12-2026)\r\n");
    EXPECT_EQ(KeyStampedAgo(1000), "   23:59:59,020 UT   (09-12-2026)\r\n");

    // A completed left click in mouse mode: the release's own time.
    TForm3 lock(form, *form);
    wxMouseEvent down(wxEVT_LEFT_DOWN), up(wxEVT_LEFT_UP);
    down.SetTimestamp(static_cast<long>(clock.MonoUs / 1000 - 120));
    up.SetTimestamp(static_cast<long>(clock.MonoUs / 1000 - 30));
    up.m_x = up.m_y = 5;
    lock.Panel1->ProcessWindowEvent(down);
    lock.Panel1->ProcessWindowEvent(up);
    EXPECT_EQ(LastRecord(), "   23:59:59,990 UT   (09-12-2026)\r\n");
}

// A held key's repeats that carry the press's own stamp (GTK's Wayland backend repeats keys so):
// each repeat is a capture at the moment it is handled, not the press's time over again.
TEST_F(Unit1TriggerTimeGuiTest, a_repeat_stamped_with_the_press_time_records_its_own_moment) {
    const long pressed = static_cast<long>(clock.MonoUs / 1000 - 10);
    auto key = [&] {
        wxKeyEvent e(wxEVT_CHAR_HOOK);
        e.m_keyCode = WXK_RETURN;
        e.SetTimestamp(pressed);
        form->ProcessWindowEvent(e);
        return LastRecord();
    };
    EXPECT_EQ(key(), "   00:00:00,010 UT   (10-12-2026)\r\n");
    clock.Advance(500);
    EXPECT_EQ(key(), "   00:00:00,520 UT   (10-12-2026)\r\n");
    clock.Advance(33);
    EXPECT_EQ(key(), "   00:00:00,553 UT   (10-12-2026)\r\n");
}

TEST_F(Unit1TriggerTimeGuiTest, an_unreadable_time_zone_is_reported_once_while_the_frames_go_on) {
    clock.Zone.Result = base::TTimeZoneInformation::Invalid;
    clock.Zone.ErrorText = "The system cannot find the file specified";
    const long frames = form->FrameCount();
    ASSERT_TRUE(PumpUntil([&] { return form->FrameCount() > frames + 30; }));
    PumpFor(50);
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Text, "The system cannot find the file specified.");
}

// The live clock drawn from its digits' pictures shows the very pixels of its text drawn whole, and
// a new time changes only the digits that changed: the real window, looked at on the display.
TEST_F(Unit1TriggerTimeGuiTest, the_live_clock_from_pictures_is_its_text_drawn_whole) {
    TCaptionPanel* live = form->Panel1;
    ASSERT_TRUE(PumpUntil([&] { return live->DrawsFromPictures(); }));
    live->DrawDigitsFromPictures(false);
    const std::vector<unsigned char> whole = gui_test::WindowPixels(live);
    live->DrawDigitsFromPictures(true);
    const std::vector<unsigned char> pictured = gui_test::WindowPixels(live);  // nothing left to repaint
    EXPECT_TRUE(pictured == whole) << "the text drawn whole looks otherwise";

    clock.Advance(5);  // 00:00:00,020 -> 00:00:00,025: the last digit alone
    ASSERT_TRUE(PumpUntil([&] { return live->Caption() == "00:00:00,025 UT"; }));
    const std::vector<unsigned char> later = gui_test::WindowPixels(live);
    ASSERT_EQ(later.size(), pictured.size());
    const double scale = live->GetContentScaleFactor();  // the pixels per unit of the display
    const int width = static_cast<int>(live->GetClientSize().x * scale);
    int first = width, last = -1;
    for (size_t i = 0; i < later.size(); ++i)
        if (later[i] != pictured[i]) {
            const int x = static_cast<int>(i / 3) % width;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    ASSERT_GE(last, 0) << "the new digit was not drawn";
    EXPECT_GT(first, width / 2);
    EXPECT_LT(last - first, live->GetTextExtent("0").x * scale) << "more than the last digit changed";
    live->DrawDigitsFromPictures(false);
    EXPECT_TRUE(later == gui_test::WindowPixels(live)) << "the changed digit is not the text's";
}
