#include "serial/Unit4.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "serial/ComDriverPosix.h"
#include "serial/ComDriverSim.h"
#include "tests/FakeMainLink.h"
#include "tests/GuiTest.h"
#include "tests/TestDir.h"
#include "tests/serial/Pty.h"
#include "tests/serial/ScriptedLines.h"

using namespace serial;
using gui_test::PumpFor;
using gui_test::PumpUntil;
using testing_support::Slurp;
using testing_support::Spit;

namespace {

class Unit4GuiTest : public testing::Test {
protected:
    void SetUp() override {
        main.PathsValue = app::TDataPaths::Build(dir.Path());
        main.ServicesValue.Shell = &shell;
        main.ServicesValue.Help = &help;
        main.ServicesValue.Dialogs = &dialogs;
        main.ServicesValue.ComDriver = &driver;
        main.ServicesValue.ListPorts = [this] { return ports; };
        main.ServicesValue.StayAwake = &awake;
    }
    TForm4* Open() {
        form = new TForm4(nullptr, main);
        form->Show();
        PumpFor(30);
        return form;
    }
    void TearDown() override {
        if (form) form->Destroy();
        PumpFor(10);
    }
    std::string Caption() const { return form->GetTitle().utf8_string(); }
    std::string Button() const { return form->Button2->GetLabel().utf8_string(); }
    void Start() { gui_test::ClickButton(form->Button2); }
    // A user's pick in a selector.
    void Pick(TComComboBox* box, const std::string& text) {
        box->SetText(text);
        wxCommandEvent e(wxEVT_CHOICE, box->GetId());
        e.SetEventObject(box);
        box->ProcessWindowEvent(e);
    }
    bool Lit() { return form->ComLed1->Model.State() == lsOn; }
    std::vector<std::string> Texts() {
        return {form->ComComboBox5->Text(), form->ComComboBox1->Text(), form->ComComboBox2->Text(),
                form->ComComboBox3->Text(), form->ComComboBox4->Text(), form->ComComboBox6->Text()};
    }

    testing_support::TTempDir dir;
    TSimComDriver driver;
    TSimLine& com1 = driver.Line("COM1");
    TSimLine& com2 = driver.Line("COM2");
    std::vector<std::string> ports = {"COM2", "COM1"};
    base::TRecordingShell shell;
    base::TRecordingHelp help;
    base::TRecordingStayAwake awake;
    app::TRecordingDialogs dialogs;
    gui_test::TFakeMain main;
    TForm4* form = nullptr;
};

}  // namespace

TEST_F(Unit4GuiTest, first_opening_shows_the_defaults_and_closing_writes_six_lines) {
    Open();
    EXPECT_TRUE(dialogs.Shown.empty());
    EXPECT_EQ(Texts(), (std::vector<std::string>{"COM1", "9600", "8", "Hardware", "None", "1"}));
    EXPECT_EQ(form->ComComboBox5->Items(), (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(Caption(), "Port COM1 (00:00:00,000 UT)");
    EXPECT_EQ(form->GetClientSize().x, 210);
    EXPECT_EQ(Button(), "&Start");
    EXPECT_EQ(form->ComPort1->FlowControl.FlowControl(), fcHardware);
    EXPECT_EQ(form->ComboBox1->GetStringSelection(), "0");
    EXPECT_EQ(form->Label1->GetLabel(), wxString::FromUTF8("Pominięte impulsy: 0"));
    form->Close();
    EXPECT_EQ(Slurp(main.PathsValue.PortSettings), "COM1\r\n9600\r\n8\r\nHardware\r\nNone\r\n1\r\n");
    EXPECT_EQ(Slurp(main.PathsValue.LockoutSettings), "0\r\n");
    EXPECT_EQ(main.Focused, 1);
}

TEST_F(Unit4GuiTest, the_settings_file_selects_items_and_the_line_runs_with_them) {
    Spit(main.PathsValue.PortSettings, "COM2\r\n19200\r\n7\r\nnone\r\nspace\r\n 2\r\n");
    Open();
    // "none" is the flow control's None; " 2" names no item and leaves "1".
    EXPECT_EQ(Texts(), (std::vector<std::string>{"COM2", "19200", "7", "None", "Space", "1"}));
    EXPECT_EQ(form->ComPort1->Port(), "COM2");
    Start();
    EXPECT_EQ(com2.LastDCB.BaudRate, 19200u);
    EXPECT_EQ(com2.LastDCB.ByteSize, 7);
    EXPECT_EQ(com2.LastDCB.Parity, 4);              // space
    EXPECT_EQ((com2.LastDCB.Flags >> 12) & 3, 0u);  // no RTS handshake: RTS off as None has it
    Pick(form->ComComboBox1, "4800");
    EXPECT_EQ(com2.LastDCB.BaudRate, 4800u);
    Pick(form->ComComboBox1, "19200");
    form->Close();
    EXPECT_EQ(Slurp(main.PathsValue.PortSettings), "COM2\r\n19200\r\n7\r\nNone\r\nSpace\r\n1\r\n");

    form->Destroy();
    Spit(main.PathsValue.PortSettings, "COM2\r\n4800\r\n6");  // three lines
    Open();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"COM2", "4800", "6", "Hardware", "None", "1"}));
}

TEST_F(Unit4GuiTest, cts_reports_capture_on_every_on_and_the_led_shows_each) {
    com1.SetCTS(true);
    Open();
    Start();
    EXPECT_EQ(Button(), "Z&atrzymaj");
    EXPECT_EQ(main.Captures, 1);  // CTS already on: one capture right after opening
    EXPECT_TRUE(Lit());
    EXPECT_EQ(Caption(), "Port COM1 (12:34:56,101 UT)");
    PumpFor(50);
    gui_test::SaveScreenshot(form, "serial-port-window");

    com1.SetCTS(false);
    ASSERT_TRUE(PumpUntil([&] { return !Lit(); }));
    com1.SetCTS(true);
    ASSERT_TRUE(PumpUntil([&] { return main.Captures == 2; }));
    EXPECT_EQ(Caption(), "Port COM1 (12:34:56,102 UT)");
    com1.SetCTS(false);
    ASSERT_TRUE(PumpUntil([&] { return !Lit(); }));
    EXPECT_EQ(main.Captures, 2);

    com1.SetCTS(true);
    ASSERT_TRUE(PumpUntil([&] { return main.Captures == 3; }));
    Start();  // stop while CTS is on: no capture, the LED goes off
    EXPECT_EQ(Button(), "&Start");
    EXPECT_FALSE(Lit());
    EXPECT_EQ(main.Captures, 3);
    EXPECT_FALSE(form->ComPort1->Connected());
}

TEST_F(Unit4GuiTest, a_failing_capture_is_reported_and_monitoring_goes_on) {
    Open();
    Start();
    main.FailCaptureWith = 5;
    com1.SetCTS(true);
    ASSERT_TRUE(PumpUntil([&] { return !dialogs.Shown.empty(); }));
    EXPECT_EQ(dialogs.Shown.back().Text, "File access denied.");
    EXPECT_EQ(Button(), "Z&atrzymaj");
    main.FailCaptureWith = 0;
    com1.SetCTS(false);
    ASSERT_TRUE(PumpUntil([&] { return !Lit(); }));  // a pulse the thread reads only once is no pulse
    com1.SetCTS(true);
    EXPECT_TRUE(PumpUntil([&] { return main.Captures == 1; }));  // the next pulse captures again
    EXPECT_TRUE(form->ComPort1->EventThreadRunning());
}

TEST_F(Unit4GuiTest, a_lost_device_closes_the_port_and_says_so) {
    com1.SetCTS(true);
    Open();
    Start();
    com1.Unplug();
    ASSERT_TRUE(PumpUntil([&] { return !dialogs.Shown.empty(); }));
    EXPECT_EQ(dialogs.Shown.back().Text, "Brak dostępu do portu COM1");
    EXPECT_EQ(dialogs.Shown.back().Caption, "Błąd");
    EXPECT_FALSE(form->ComPort1->Connected());
    EXPECT_EQ(Button(), "Z&atrzymaj");  // it waits for the port to come back
    EXPECT_FALSE(Lit());
}

TEST_F(Unit4GuiTest, an_unlisted_port_leaves_no_selection_and_start_fails_with_the_box) {
    ports = {"COM2"};
    Spit(main.PathsValue.PortSettings, "COM7\r\n");
    Open();
    EXPECT_EQ(form->ComComboBox5->Text(), "");
    EXPECT_EQ(form->ComPort1->Port(), "");
    Start();
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Text, "Brak dostępu do portu ");
    EXPECT_EQ(dialogs.Shown[0].Icon, app::TMsgIcon::Error);
    EXPECT_EQ(Button(), "&Start");
}

// The adapter is named as the system names it. One that never reports CTS (a modem-class board) is
// refused at Start with a plain word, before any open; an FTDI with a long latency says where to
// shorten it.
TEST_F(Unit4GuiTest, the_adapter_is_named_and_one_without_cts_is_refused_at_start) {
    com1.Adapter = {TAdapterFamily::Ftdi, "FTDI FT232R USB UART", 16, ""};
    com2.Adapter = {TAdapterFamily::CdcAcm, "Arduino Uno", -1, ""};
    Open();
    EXPECT_EQ(form->Label3->GetLabel(), "FTDI FT232R USB UART");
    EXPECT_TRUE(form->Label2->GetLabel().StartsWith(wxString::FromUTF8("Opóźnienie FTDI 16 ms;"))) << form->Label2->GetLabel();
    gui_test::SaveScreenshot(form, "serial-port-window-ftdi");
    Pick(form->ComComboBox5, "COM2");
    EXPECT_EQ(form->Label3->GetLabel(), "Arduino Uno");
    EXPECT_EQ(form->Label2->GetLabel(), "");  // the FTDI's word goes with it
    Start();
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Text,
              "Adapter portu COM2 nie zgłasza stanu linii CTS, więc nie przyjdzie z niego żaden pomiar.");
    EXPECT_FALSE(form->ComPort1->Connected());
    EXPECT_FALSE(Lit());
    EXPECT_EQ(Button(), "&Start");

    // Picked while another port listens: the other is let go, and the board is not opened.
    com2.SetCTS(true);  // as such a driver always reads
    Pick(form->ComComboBox5, "COM1");
    Start();
    Pick(form->ComComboBox5, "COM2");
    ASSERT_EQ(dialogs.Shown.size(), 2u);
    EXPECT_NE(dialogs.Shown[1].Text.find("nie zgłasza stanu linii CTS"), std::string::npos) << dialogs.Shown[1].Text;
    EXPECT_FALSE(form->ComPort1->Connected());
    EXPECT_EQ(main.Captures, 0);
    EXPECT_EQ(Button(), "&Start");
}

TEST_F(Unit4GuiTest, picking_another_port_while_open_reopens_there) {
    com2.SetCTS(true);
    Open();
    Start();
    Pick(form->ComComboBox5, "COM2");
    EXPECT_TRUE(form->ComPort1->Connected());
    EXPECT_EQ(form->ComPort1->Port(), "COM2");
    EXPECT_EQ(Button(), "Z&atrzymaj");
    EXPECT_EQ(main.Captures, 1);  // the open-time report on COM2
    EXPECT_EQ(Caption(), "Port COM2 (12:34:56,101 UT)");

    ports.push_back("COM9");  // listed, but the driver has no such port
    form->Destroy();
    Open();
    Start();
    Pick(form->ComComboBox5, "COM9");
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_NE(dialogs.Shown[0].Text.find("Unable to open com port"), std::string::npos);
    EXPECT_EQ(Button(), "&Start");
}

TEST_F(Unit4GuiTest, keys_and_closing_with_the_port_open) {
    Open();
    Start();
    wxKeyEvent f1(wxEVT_CHAR_HOOK);
    f1.m_keyCode = WXK_F1;
    form->ProcessWindowEvent(f1);
    EXPECT_EQ(help.Calls, std::vector<std::string>{"contents " + main.PathsValue.HelpFile});

    // A port that will not close: the report, and the window stays open with the port and its picks.
    Pick(form->ComComboBox1, "4800");
    com1.FailPurge = 31;
    form->Close();
    EXPECT_TRUE(form->IsShown());
    EXPECT_TRUE(form->ComPort1->Connected());
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(form->ComComboBox1->Text(), "4800");
    com1.FailPurge = 0;
    Pick(form->ComComboBox1, "9600");
    dialogs.Shown.clear();

    // A save that fails keeps the window open; the port is closed by then, and closing again retries.
    std::filesystem::create_directory(main.PathsValue.PortSettings);
    form->Close();
    EXPECT_FALSE(form->ComPort1->Connected());
    EXPECT_TRUE(form->IsShown());
    ASSERT_EQ(dialogs.Shown.size(), 1u);
    EXPECT_EQ(dialogs.Shown[0].Text, "File access denied.");
    std::filesystem::remove(main.PathsValue.PortSettings);
    form->Close();
    EXPECT_FALSE(form->IsShown());
    EXPECT_EQ(Slurp(main.PathsValue.PortSettings), "COM1\r\n9600\r\n8\r\nHardware\r\nNone\r\n1\r\n");
}

TEST_F(Unit4GuiTest, selector_and_led_on_their_own) {
    Open();
    auto* box = new TComComboBox(form, wxPoint(0, 0), wxSize(100, 21));
    box->SetComProperty(cpBaudRate);
    EXPECT_EQ(box->Items().size(), 16u);
    EXPECT_EQ(box->Text(), "Custom");
    int changes = 0;
    box->OnChange = [&] { ++changes; };
    box->SetComProperty(cpParity);
    box->SetText("none");
    box->SetText("Nothing");
    EXPECT_EQ(box->Text(), "None");
    EXPECT_EQ(changes, 0);

    auto* led = new TComLed(form, wxPoint(0, 0));
    EXPECT_EQ(led->GetSize(), wxSize(25, 25));
    led->Model.SetState(lsOn);
    EXPECT_TRUE(led->Shown().IsSameAs(led->GlyphOn()));
    led->Enable(false);
    EXPECT_TRUE(led->Shown().IsSameAs(led->GlyphOff()));
    led->SetKind(lkGreenLight);
    wxImage on = led->GlyphOn().ConvertToImage();
    EXPECT_EQ(on.GetWidth(), 15);
    EXPECT_EQ(on.GetRed(7, 7), 0);
    EXPECT_EQ(on.GetGreen(7, 7), 255);
    EXPECT_TRUE(on.HasMask());
    wxBitmap before = led->GlyphOn();
    led->SetGlyphOn(LedPicture("LEDREDON"));  // only custom LEDs take pictures
    EXPECT_TRUE(led->GlyphOn().IsSameAs(before));
    led->SetKind(lkCustom);
    led->SetGlyphOn(LedPicture("LEDBLUEON"));
    EXPECT_EQ(led->GlyphOn().ConvertToImage().GetBlue(7, 7), 255);
}

// A light barrier's pulses of one pass: after each capture from CTS, on-edges within the lockout are
// left out and counted, judged by the edges' own times, however late the window takes them up.
TEST_F(Unit4GuiTest, a_lockout_leaves_out_the_edges_that_follow_a_capture_by_their_own_times) {
    Spit(main.PathsValue.LockoutSettings, "100\r\n");
    Open();
    EXPECT_EQ(form->ComboBox1->GetStringSelection(), "100");
    Start();
    const int64_t t0 = 1'796'860'800'000'000;  // µs: when the driver saw the first edge
    for (int ms : {0, 10, 99, 100, 250}) {
        com1.SetCTS(true, t0 + ms * 1000);
        ASSERT_TRUE(PumpUntil([&] { return Lit(); }));
        com1.SetCTS(false);
        ASSERT_TRUE(PumpUntil([&] { return !Lit(); }));
    }
    EXPECT_EQ(main.Times, (std::vector<int64_t>{t0, t0 + 100'000, t0 + 250'000}));
    EXPECT_EQ(form->Label1->GetLabel(), wxString::FromUTF8("Pominięte impulsy: 2"));

    // The window busy for 150 ms with the report of an edge; the next one, 120 ms after it by its
    // own time, waits meanwhile and is taken up at once after: it is past the lockout, it captures.
    com1.SetCTS(true, t0 + 500'000);
    com1.WaitTaken();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    com1.SetCTS(false);
    com1.SetCTS(true, t0 + 620'000);
    ASSERT_TRUE(PumpUntil([&] { return main.Captures == 5; }));
    EXPECT_EQ(main.Times.back(), t0 + 620'000);

    // Each Start counts anew.
    Start();
    Start();
    EXPECT_EQ(form->Label1->GetLabel(), wxString::FromUTF8("Pominięte impulsy: 0"));
}

// The clock set an hour back, then an hour forward, between a capture and the bounces after it: the
// lockout counts on the monotonic clock, so each bounce is left out and the next runner, past the
// lockout, captures with the wall clock's time.
TEST_F(Unit4GuiTest, a_clock_set_either_way_between_a_capture_and_its_bounce_moves_no_lockout) {
    Spit(main.PathsValue.LockoutSettings, "100\r\n");
    Open();
    Start();
    const int64_t wall = 1'796'860'800'000'000, mono = 5'000'000'000, hour = 3'600'000'000;
    auto edge = [&](int64_t wallUs, int64_t monoUs) {
        com1.SetCTS(true, serial::TEdgeTime{wallUs, monoUs});
        ASSERT_TRUE(PumpUntil([&] { return Lit(); }));
        com1.SetCTS(false);
        ASSERT_TRUE(PumpUntil([&] { return !Lit(); }));
    };
    edge(wall, mono);
    edge(wall - hour + 5'000, mono + 5'000);        // set back: a bounce 5 ms on
    edge(wall + hour + 30'000, mono + 30'000);      // set forward: a bounce 30 ms on
    edge(wall + hour + 150'000, mono + 150'000);    // the next runner
    EXPECT_EQ(main.Times, (std::vector<int64_t>{wall, wall + hour + 150'000}));
    EXPECT_EQ(form->Label1->GetLabel(), wxString::FromUTF8("Pominięte impulsy: 2"));
}

// "Zatrzymaj" pressed while the report of an edge waits for the window: the edge came before the
// stop was asked for, a real passage, and is captured once with its own time. One the driver timed
// after the request is dropped. Either way the LED is off once the port is closed.
TEST_F(Unit4GuiTest, an_edge_before_the_stop_is_captured_and_one_after_it_is_not) {
    Open();
    Start();
    const int64_t wall = 1'796'860'800'000'000;
    const int64_t mono = base::SystemClock().MonotonicUsNow();
    auto queuedAtStop = [&](serial::TEdgeTime at) {
        com1.SetCTS(true, at);
        com1.WaitTaken();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // its report queued, the window not pumped
        Start();  // "Zatrzymaj"
        EXPECT_FALSE(form->ComPort1->Connected());
        EXPECT_FALSE(Lit());
        com1.SetCTS(false);
    };
    queuedAtStop({wall, mono - 1'000});
    EXPECT_EQ(main.Times, (std::vector<int64_t>{wall}));
    Start();
    queuedAtStop({wall + 60'000'000, mono + 60'000'000});
    EXPECT_EQ(main.Times, (std::vector<int64_t>{wall}));
}

// usercts.dat holds the choice apart: what names no item reads as "0" without a word, closing writes
// the choice whole, and usercom.dat stays its six lines.
TEST_F(Unit4GuiTest, the_lockout_is_stored_apart_and_an_unknown_one_reads_as_none) {
    for (const char* stored : {"37\r\n", "", "100"}) {
        Spit(main.PathsValue.LockoutSettings, stored);
        Open();
        EXPECT_EQ(form->ComboBox1->GetStringSelection(), std::string(stored) == "100" ? "100" : "0") << stored;
        form->ComboBox1->SetStringSelection("500");
        wxCommandEvent pick(wxEVT_CHOICE, form->ComboBox1->GetId());
        pick.SetEventObject(form->ComboBox1);
        form->ComboBox1->ProcessWindowEvent(pick);
        EXPECT_EQ(form->Lockout().Ms(), 500);
        form->Close();
        form->Destroy();
        form = nullptr;
        EXPECT_EQ(Slurp(main.PathsValue.LockoutSettings), "500\r\n");
        EXPECT_EQ(Slurp(main.PathsValue.PortSettings), "COM1\r\n9600\r\n8\r\nHardware\r\nNone\r\n1\r\n");
    }
    EXPECT_TRUE(dialogs.Shown.empty());
}

// While the port listens the PC is kept awake, and only then: Start holds it, "Z&atrzymaj", a lost
// port and the window's close let it go. A port pulled out is waited for; plugged in again it is
// opened with its settings, listens and captures, and the window says how long it was away.
TEST_F(Unit4GuiTest, awake_while_listening_and_a_port_that_comes_back_is_listened_to_again) {
    Open();
    EXPECT_TRUE(awake.Calls.empty());
    Start();
    Start();
    EXPECT_EQ(awake.Calls, (std::vector<std::string>{"hold: Tempix mierzy czas z portu szeregowego COM1", "release"}));

    Pick(form->ComComboBox1, "4800");
    Start();
    com1.PullOut();
    ASSERT_TRUE(PumpUntil([&] { return !dialogs.Shown.empty(); }));
    EXPECT_EQ(dialogs.Shown.back().Text, "Brak dostępu do portu COM1");
    EXPECT_FALSE(form->ComPort1->Connected());
    EXPECT_FALSE(awake.Held());
    EXPECT_EQ(Button(), "Z&atrzymaj");
    EXPECT_EQ(form->Label2->GetLabel(), wxString::FromUTF8("Port utracony – czekam\nna jego powrót."));
    PumpFor(100);
    com1.PlugIn();
    ASSERT_TRUE(PumpUntil([&] { return form->ComPort1->Connected(); }));
    EXPECT_TRUE(awake.Held());
    EXPECT_EQ(com1.LastDCB.BaudRate, 4800u);
    EXPECT_TRUE(form->Label2->GetLabel().StartsWith(wxString::FromUTF8("Port wrócił po 0"))) << form->Label2->GetLabel();
    PumpFor(50);
    gui_test::SaveScreenshot(form, "serial-port-window-back");
    const int captures = main.Captures;
    com1.SetCTS(true);
    ASSERT_TRUE(PumpUntil([&] { return main.Captures == captures + 1; }));

    // Pulled out again and not waited for: "Z&atrzymaj" ends the wait, and a return opens nothing.
    com1.PullOut();
    ASSERT_TRUE(PumpUntil([&] { return form->Label2->GetLabel().StartsWith("Port utracony"); }));
    Start();
    EXPECT_EQ(Button(), "&Start");
    EXPECT_EQ(form->Label2->GetLabel(), "");
    com1.PlugIn();
    PumpFor(50);
    EXPECT_FALSE(form->ComPort1->Connected());
    Start();
    EXPECT_TRUE(awake.Held());
    form->Close();
    EXPECT_FALSE(awake.Held());
}

// The real Linux driver on a pty under a name of the test's own: the pty hung up (its master
// closed) is a lost port; a new pty made under the same name is opened again, and its next edge
// captures.
TEST_F(Unit4GuiTest, a_hung_up_port_made_again_under_its_name_is_listened_to_again) {
    testing_support::TScriptedLines lines;
    TPosixComDriver posix(lines.Ioctl());
    auto first = std::make_unique<testing_support::TPty>();
    ASSERT_TRUE(first->Ok());
    const std::string name = dir / "ttyBARRIER";
    ASSERT_EQ(symlink(first->Path().c_str(), name.c_str()), 0);
    ports = {name};
    main.ServicesValue.ComDriver = &posix;
    Spit(main.PathsValue.PortSettings, name + "\r\n9600\r\n8\r\nHardware\r\nNone\r\n1\r\n");
    Open();
    Start();
    ASSERT_TRUE(form->ComPort1->Connected());
    first->HangUp();
    ASSERT_TRUE(PumpUntil([&] { return form->Label2->GetLabel().StartsWith("Port utracony"); }));
    testing_support::TPty second;
    ASSERT_EQ(symlink(second.Path().c_str(), (name + ".new").c_str()), 0);
    ASSERT_EQ(rename((name + ".new").c_str(), name.c_str()), 0);
    ASSERT_TRUE(PumpUntil([&] { return form->ComPort1->Connected(); }, 5000));
    const int captures = main.Captures;
    lines.SetCts(true);
    ASSERT_TRUE(PumpUntil([&] { return main.Captures == captures + 1; }));
    form->Close();
}
