// Every window of the program draws its texts whole, on the build it runs on and at the desktop's
// text scale it runs under: no caption, label, clock or list cut by its own control, at the sides or
// at the bottom, or covered by a sibling, no list column narrower than its title. Prints the count
// of faults and the main window's size, the figures of a scale.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/evtloop.h>

#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "app/Unit3.h"
#include "serial/ComDriverSim.h"
#include "serial/Unit4.h"
#include "tests/FakeMainLink.h"
#include "tests/LayoutCheck.h"
#include "tests/TestDir.h"
#include "tests/app/MainWindowFixture.h"
#include "timesync/Unit2.h"

namespace {

// Runs the event loop for a while, an event at a time: the main window's clock refreshes every
// frame, and where painting takes longer than a frame (wine at 192 DPI) there is always another
// event waiting, so a loop that runs until none waits (a yield) would never return.
void Settle(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (std::chrono::steady_clock::now() < end) {
        loop->DispatchTimeout(5);
        wxTheApp->ProcessPendingEvents();
        loop->ProcessIdle();
    }
}

int faultCount = 0;

std::string Faults(wxWindow* w) {
    std::string all;
    for (const std::string& f : gui_test::LayoutFaults(w)) {
        all += f + "\n";
        ++faultCount;
    }
    return all;
}

class LayoutTest : public gui_test::TMainWindowFixture {};

}  // namespace

TEST_F(LayoutTest, every_window_draws_its_texts_whole) {
    base::TRecordingCursor cursor;
    services.Cursor = &cursor;
    auto* form = new app::TForm1(services);
    form->Show();
    Settle(200);
    EXPECT_EQ(Faults(form), "") << "main window";
    // The live clock's digits come from their pictures: made for its font at this scale, and
    // composed into the very pixels of the text drawn whole (checked as they are made).
    EXPECT_TRUE(form->Panel1->DrawsFromPictures());
    std::printf("live_clock_from_pictures %d (content scale %.2f)\n", form->Panel1->DrawsFromPictures() ? 1 : 0,
                form->Panel1->GetContentScaleFactor());

    gui_test::TFakeMain main;
    serial::TSimComDriver driver;
    main.PathsValue = app::TDataPaths::Build(dir.Path());
    main.ServicesValue = services;
    main.ServicesValue.ComDriver = &driver;
    driver.Line("COM1").Adapter = {serial::TAdapterFamily::Ftdi, "FTDI FT232R USB UART", 16, ""};
    main.ServicesValue.ListPorts = [] { return std::vector<std::string>{"COM1", "COM2"}; };
    std::string list;  // enough servers for the grid's scroll bar
    for (int i = 0; i < 20; ++i) list += std::string(50, 'N') + "ntp" + std::to_string(i) + ".example.org\r\n";
    testing_support::Spit(dir / "sndata.txt", list);
    {
        timesync::TForm2 servers(form, main);
        servers.Show();
        Settle(100);
        EXPECT_EQ(Faults(&servers), "") << "time-server window";
    }
    {
        serial::TForm4 port(form, main);
        port.Show();
        Settle(100);
        EXPECT_EQ(Faults(&port), "") << "serial-port window";
    }
    {
        app::TForm3 lock(form, main);
        lock.Show();
        Settle(100);
        EXPECT_EQ(Faults(&lock), "") << "mouse-lock window";
        lock.Hide();
    }
    std::printf("layout_faults %d\nmain_window_size %dx%d\n", faultCount, form->GetSize().x, form->GetSize().y);
    form->Destroy();
    Settle(50);
}
