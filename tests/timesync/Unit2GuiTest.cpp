#include "timesync/Unit2.h"

#include <wx/display.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/uiaction.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <regex>

#include "base/ClockPosix.h"
#include "base/ClockSim.h"
#include "base/TextFile.h"
#include "tests/FakeMainLink.h"
#include "tests/GuiTest.h"
#include "tests/TestDir.h"
#include "tests/base/PrivateBus.h"
#include "tests/timesync/ChronyServer.h"
#include "tests/timesync/LoopbackStack.h"

using namespace timesync;
using testing_support::Slurp;
using testing_support::Spit;

namespace {

using gui_test::TFakeMain;

class Unit2GuiTest : public testing::Test {
protected:
    void SetUp() override {
        testing_support::UseLoopbackStack();
        main.PathsValue = app::TDataPaths::Build(dir.Path());
        main.ServicesValue.Clock = &clock;
        main.ServicesValue.Shell = &shell;
        main.ServicesValue.Help = &help;
        main.ServicesValue.Dialogs = &dialogs;
        main.ServicesValue.Format = base::TFormatSettings{":", ","};
    }
    TForm2* Open() {
        form = new TForm2(nullptr, main);
        form->Show();
        gui_test::PumpFor(30);
        return form;
    }
    void TearDown() override {
        if (form) form->Destroy();
        gui_test::PumpFor(10);
    }
    std::string LastMessage() const { return dialogs.Shown.empty() ? "" : dialogs.Shown.back().Text; }

    testing_support::TTempDir dir;
    base::TRecordingSetterClock clock;
    base::TRecordingShell shell;
    base::TRecordingHelp help;
    app::TRecordingDialogs dialogs;
    TFakeMain main;
    TForm2* form = nullptr;
};

std::string Line(const std::string& name, const std::string& address) {
    return name + std::string(50 - name.size(), ' ') + address + "\r\n";
}

}  // namespace

TEST_F(Unit2GuiTest, the_colour_cue_follows_a_click_in_the_grid_and_the_keyboard_in_it) {
    Spit(dir / "sndata.txt", Line("A", "a.example") + Line("B", "b.example") + Line("C", "c.example"));
    Open();
    form->Raise();
    ASSERT_TRUE(gui_test::PumpUntil([&] { return form->IsActive(); }));
    const wxColour window = wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW);
    const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    wxRect row;
    ASSERT_TRUE(form->ValueListEditor1->GetItemRect(1, row));
    wxUIActionSimulator sim;
    sim.MouseMove(form->ValueListEditor1->ClientToScreen(row.GetPosition() + wxPoint(20, row.height / 2)));
    sim.MouseClick();
    ASSERT_TRUE(gui_test::PumpUntil([&] { return form->LabeledEdit1->GetValue() == "b.example"; }));
    gui_test::PumpFor(50);
    EXPECT_EQ(form->ValueListEditor1->GetBackgroundColour(), window);
    EXPECT_EQ(form->LabeledEdit1->GetBackgroundColour(), face);

    gui_test::TapKey("Down");  // the keyboard changes the address: the cue is the address box's
    ASSERT_TRUE(gui_test::PumpUntil([&] { return form->LabeledEdit1->GetValue() == "c.example"; }));
    gui_test::PumpFor(50);
    EXPECT_EQ(form->LabeledEdit1->GetBackgroundColour(), window);
    EXPECT_EQ(form->ValueListEditor1->GetBackgroundColour(), face);
}

TEST_F(Unit2GuiTest, layout_and_built_in_texts) {
    Open();
    EXPECT_EQ(form->GetClientSize(), wxSize(490, 402));
    EXPECT_EQ(form->GetTitle().utf8_string().rfind("Synchronizacja @ PC: ", 0), 0u);
    EXPECT_EQ(form->ValueListEditor1->GetItemCount(), 1);
    EXPECT_EQ(form->LabeledEdit1->GetValue(), TForm2::kDefaultServer);
    EXPECT_FALSE(form->Label1->IsEnabled());
    EXPECT_EQ(form->Label3->GetLabel(), wxString::FromUTF8("Serwer: STRATUM 0, źródło czasu serwera: 0.0.0.0"));
    EXPECT_EQ(form->Button4->GetSize(), wxSize(83, 25));
    EXPECT_EQ(LastMessage(), "Brak pliku " + dir.Path() + "sndata.txt z danymi serwerów czasu.");
}

TEST_F(Unit2GuiTest, opens_centred_on_the_screen_not_over_its_owner) {
    auto* owner = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(0, 0), wxSize(300, 200));
    owner->Show();
    form = new TForm2(owner, main);
    form->Show();
    gui_test::PumpFor(50);
    const wxRect screen = wxDisplay(form).GetClientArea();
    const wxRect window = form->GetScreenRect();
    EXPECT_NEAR(window.x + window.width / 2, screen.x + screen.width / 2, 2) << window.x << " " << window.width;
    EXPECT_NEAR(window.y + window.height / 2, screen.y + screen.height / 2, 2) << window.y << " " << window.height;
    form->Destroy();
    form = nullptr;
    owner->Destroy();
}

TEST_F(Unit2GuiTest, rows_fill_the_grid_and_a_selection_fills_the_address_blanks_included) {
    Spit(dir / "sndata.txt", Line("Gda\xF1sk", "10.0.0.1   ") + Line("Lokalny", "ntp.loopback.test"));
    Open();
    EXPECT_TRUE(dialogs.Shown.empty());
    ASSERT_EQ(form->ValueListEditor1->GetItemCount(), 2);
    EXPECT_EQ(form->ValueListEditor1->GetItemText(0, 0).utf8_string().substr(0, 7), "Gdańsk");
    form->ValueListEditor1->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    gui_test::PumpFor(20);
    EXPECT_EQ(form->LabeledEdit1->GetValue(), "10.0.0.1   ");
    gui_test::ClickButton(form->Button2);
    EXPECT_EQ(LastMessage(), "W adresie serwera są niedozwolone znaki, np. spacja(e) na końcu.");
    EXPECT_TRUE(clock.Settings.empty());
}

TEST_F(Unit2GuiTest, success_against_chronyd_enables_the_labels_and_logs_the_correction) {
    testing_support::TChronyServer server;
    ASSERT_TRUE(server.Ready()) << server.Log();
    Open();
    form->IdSNTP1->SetPort(server.Port());
    form->LabeledEdit1->SetValue("localhost");
    wxMouseEvent click(wxEVT_LEFT_UP);
    form->Label3Click(click);
    EXPECT_TRUE(help.Calls.empty());  // disabled before a success
    gui_test::ClickButton(form->Button2);
    ASSERT_EQ(LastMessage(), "OK, poprawnie dokonano aktualizacji daty i czasu tego komputera.");
    EXPECT_EQ(clock.Settings.size(), 1u);
    EXPECT_TRUE(form->Label1->IsEnabled());
    EXPECT_EQ(form->Label3->GetLabel(), wxString::FromUTF8("Serwer: STRATUM 8, źródło czasu serwera: 127.127.1.1"));
    EXPECT_EQ(form->Label3->GetToolTipText(), wxString::FromUTF8("Wyjaśnij"));
    std::string label1 = form->Label1->GetLabel().utf8_string();
    EXPECT_EQ(label1.rfind("Poprawka: ", 0), 0u);
    EXPECT_NE(label1.find(",0"), std::string::npos) << label1;
    std::string log = Slurp(dir / "dtime.txt");
    EXPECT_EQ(log, label1 + std::string(50 - label1.size(), ' ') + "Serwer localhost\r\n");
    // The tooltip shows when the pointer rests on the label.
    form->Raise();
    gui_test::PumpUntil([&] { return form->IsActive(); });
    wxUIActionSimulator sim;
    sim.MouseMove(form->Label3->GetScreenRect().GetLeftTop() + wxPoint(10, form->Label3->GetSize().y / 2));
    EXPECT_TRUE(gui_test::PumpUntil([] { return gui_test::TooltipShown(); }, 3000)) << "no tooltip on Label3";
    sim.MouseMove(0, 0);
    form->Label3Click(click);
    ASSERT_EQ(help.Calls.size(), 1u);
    EXPECT_EQ(help.Calls[0], "topic " + dir.Path() + "TEMPIX.HLP ID_Dodatek");
    EXPECT_FALSE(form->IdSNTP1->GetActive());

    // A failure next keeps the texts, greys them and drops the tooltip.
    form->IdSNTP1->SetPort(testing_support::TChronyServer::FreePort());
    form->IdSNTP1->SetReceiveTimeout(300);
    gui_test::ClickButton(form->Button2);
    EXPECT_EQ(LastMessage(), "Synchronizacja zakończona niepowodzeniem, spróbuj ponownie.");
    EXPECT_FALSE(form->Label1->IsEnabled());
    EXPECT_EQ(form->Label1->GetLabel().utf8_string(), label1);
    EXPECT_EQ(form->Label3->GetToolTipText(), "");
}

TEST_F(Unit2GuiTest, unknown_host_and_unwritable_log_show_the_connection_problem) {
    Open();
    form->LabeledEdit1->SetValue("no-such-host.example");
    gui_test::ClickButton(form->Button2);
    EXPECT_EQ(LastMessage(), "Problem z połączeniem do serwera, brak adresu lub sieci.");
    EXPECT_FALSE(form->IdSNTP1->GetActive());

    testing_support::TChronyServer server;
    ASSERT_TRUE(server.Ready());
    std::filesystem::create_directory(dir / "dtime.txt");
    form->IdSNTP1->SetPort(server.Port());
    form->LabeledEdit1->SetValue("127.0.0.1");
    gui_test::ClickButton(form->Button2);
    EXPECT_EQ(clock.Settings.size(), 1u);  // the clock was set all the same
    EXPECT_EQ(LastMessage(), "Problem z połączeniem do serwera, brak adresu lub sieci.");
    EXPECT_FALSE(form->Label1->IsEnabled());
}

TEST_F(Unit2GuiTest, files_open_through_the_shell_with_their_failure_boxes) {
    Open();
    shell.Succeed = false;
    gui_test::ClickButton(form->Button3);
    EXPECT_EQ(LastMessage(), "Brak pliku danych o serwerach " + dir.Path() + "sndata.txt");
    EXPECT_EQ(main.Focused, 1);
    gui_test::ClickButton(form->Button4);
    EXPECT_EQ(LastMessage(), "Brak pliku logów " + dir.Path() + "dtime.txt");
    EXPECT_EQ(main.Focused, 1);
    EXPECT_EQ(shell.Opened, (std::vector<std::string>{dir / "sndata.txt", dir / "dtime.txt"}));
    form->Close();
    EXPECT_EQ(main.Focused, 2);
}

// A user whom the kernel does not let set the clock: timedated is asked, here a stand-in on a bus of
// the test's own, and each way it refuses is told apart under the failure's first line.
TEST_F(Unit2GuiTest, a_refused_setting_says_why_with_what_was_measured_and_logs_nothing) {
    testing_support::TPrivateBus bus;
    ASSERT_FALSE(bus.Address().empty()) << "dbus-daemon did not start";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.Address().c_str(), 1);
    std::unique_ptr<base::TClock> user = base::MakePosixClock(
        {[](timespec* ts) { return clock_gettime(CLOCK_REALTIME, ts); },
         [](const timespec*) {
             errno = EPERM;
             return -1;
         }});
    main.ServicesValue.Clock = user.get();
    testing_support::TChronyServer server;
    ASSERT_TRUE(server.Ready()) << server.Log();
    Open();
    form->IdSNTP1->SetPort(server.Port());
    form->LabeledEdit1->SetValue("127.0.0.1");
    const std::string failed = "Synchronizacja zakończona niepowodzeniem, spróbuj ponownie.";
    auto sync = [&] {
        gui_test::ClickButton(form->Button2);
        return dialogs.Shown.back();
    };

    app::TRecordingDialogs::TShown shown = sync();  // a bus without timedated
    EXPECT_EQ(shown.Text, failed + "\r\nNa tym systemie zegara nie można ustawić z tego programu.");
    EXPECT_EQ(shown.Icon, app::TMsgIcon::Error);

    testing_support::TStandInTimedated timedated(bus.Address());
    ASSERT_TRUE(timedated.Owned());
    timedated.Refuse("org.freedesktop.timedate1.AutomaticTimeSyncEnabled");
    shown = sync();
    EXPECT_TRUE(std::regex_match(shown.Text, std::regex(failed + "\r\nSystem sam synchronizuje zegar tego komputera "
                                                                 "\\(automatyczna synchronizacja czasu jest włączona\\)\\. "
                                                                 "Zmierzona różnica względem serwera: [+-]\\d+,\\d{3} s\\.")))
        << shown.Text;
    EXPECT_EQ(shown.Icon, app::TMsgIcon::Information);

    timedated.Refuse("org.freedesktop.PolicyKit1.Error.Cancelled");
    EXPECT_EQ(sync().Text, failed + "\r\nSystem odmówił uprawnień do ustawienia zegara.");
    timedated.Refuse("org.freedesktop.DBus.Error.AccessDenied");
    EXPECT_EQ(sync().Text, failed + "\r\nSystem odmówił uprawnień do ustawienia zegara.");
    timedated.Refuse("org.freedesktop.DBus.Error.Failed");  // a reason not told apart: the first line alone
    EXPECT_EQ(sync().Text, failed);
    EXPECT_EQ(timedated.Calls.size(), 4u);
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");

    EXPECT_FALSE(form->Label1->IsEnabled());
    EXPECT_FALSE(std::filesystem::exists(dir / "dtime.txt"));
    // No reply at all: the first line alone, as before.
    form->IdSNTP1->SetPort(testing_support::TChronyServer::FreePort());
    form->IdSNTP1->SetReceiveTimeout(300);
    EXPECT_EQ(sync().Text, failed);
}
