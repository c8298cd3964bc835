#include "serial/CPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "base/ClockSim.h"
#include "serial/ComDriverSim.h"
#include "serial/LineChanges.h"
#include "tests/serial/QueuePump.h"

using namespace serial;

namespace {

class CPortTest : public testing::Test {
protected:
    CPortTest() : line(driver.Line("COM1")), port(driver, ui) {}
    ~CPortTest() override { port.ClosePort(); }  // while the log and the link still exist

    // Handlers and slots that write what they see, in order.
    void Record() {
        port.OnBeforeOpen = [&](TCustomComPort&) { log += "beforeopen "; };
        port.OnAfterOpen = [&](TCustomComPort&) { log += "afteropen "; };
        port.OnBeforeClose = [&](TCustomComPort&) { log += "beforeclose "; };
        port.OnAfterClose = [&](TCustomComPort&) { log += "afterclose "; };
        port.OnCTSChange = [&](TCustomComPort&, bool on) { log += on ? "cts1 " : "cts0 "; };
        port.OnDSRChange = [&](TCustomComPort&, bool on) { log += on ? "dsr1 " : "dsr0 "; };
        port.OnRLSDChange = [&](TCustomComPort&, bool on) { log += on ? "rlsd1 " : "rlsd0 "; };
        port.OnError = [&](TCustomComPort&, TComErrors e) { log += "error" + std::to_string(e) + " "; };
        port.OnRxChar = [&](TCustomComPort&, int n) { log += "rx" + std::to_string(n) + " "; };
        port.OnRxBuf = [&](TCustomComPort&, const char* b, int n) { log += "buf:" + std::string(b, static_cast<size_t>(n)) + " "; };
        link.OnConn = [&](TCustomComPort&, bool on) { log += on ? "Lconn1 " : "Lconn0 "; };
        link.OnCTSChange = [&](TCustomComPort&, bool on) { log += on ? "Lcts1 " : "Lcts0 "; };
        port.AttachLink(&link);
    }
    // Runs the UI side until the log ends with `tail`.
    bool WaitFor(const std::string& tail) {
        return testing_support::PumpQueueUntil(ui, [&] { return testing_support::EndsWith(log, tail); });
    }
    void Settle() {
        testing_support::PumpQueueUntil(ui, [] { return false; }, 20);
    }

    base::TCallQueue ui;
    TSimComDriver driver;
    TSimLine& line;
    TComPort port;
    TComLink link;
    std::string log;
};

}  // namespace

TEST_F(CPortTest, open_and_close_report_in_order_with_cts_high) {
    Record();
    line.SetCTS(true);
    port.OpenPort();
    EXPECT_EQ(log, "beforeopen Lconn1 afteropen Lcts1 cts1 dsr0 rlsd0 ");
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(port.EventThreadRunning());
    log.clear();
    port.ClosePort();
    EXPECT_EQ(log, "Lcts0 cts0 dsr0 rlsd0 beforeclose Lconn0 afterclose ");
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(line.LastMask, 0u);  // the thread cleared the mask on its way out
}

TEST_F(CPortTest, one_wait_with_several_events_follows_the_fixed_order) {
    Record();
    port.OpenPort();
    log.clear();
    line.SetLines(MS_CTS_ON | MS_DSR_ON, 0x0008 | 0x0010);
    ASSERT_TRUE(WaitFor("dsr1 "));
    EXPECT_EQ(log, "Lcts1 cts1 dsr1 ");
    log.clear();
    line.AddErrors(CE_FRAME, false);
    line.Receive("abc", false);
    line.Raise(0x0080 | 0x0001);  // one wait: the error and the bytes
    ASSERT_TRUE(WaitFor("rx3 "));
    EXPECT_EQ(log, "error1 rx3 ");
}

TEST_F(CPortTest, errors_cleared_before_their_event_fire_nothing) {
    Record();
    port.OpenPort();
    port.Events = 0;
    line.AddErrors(CE_OVERRUN, false);
    EXPECT_EQ(port.ReadInputCount(), 0);  // clears the error state as a side effect
    log.clear();
    line.Raise(0x0080 | 0x0008);
    ASSERT_TRUE(WaitFor("cts0 "));
    EXPECT_EQ(log, "Lcts0 cts0 ");
}

TEST_F(CPortTest, received_bytes_are_counted_or_read_once) {
    Record();
    port.OpenPort();
    log.clear();
    line.Receive("12345");
    ASSERT_TRUE(WaitFor("rx5 "));
    line.Receive("6");
    ASSERT_TRUE(WaitFor("rx6 "));  // never read: the count grows
    port.ClosePort();
    port.RxCharReportsCount = false;
    port.OpenPort();
    log.clear();
    line.Receive("xyz");
    ASSERT_TRUE(WaitFor("buf:xyz "));
    Settle();
    EXPECT_EQ(log, "buf:xyz ");
    EXPECT_EQ(port.ReadInputCount(), 0);
}

// A raising handler ends the thread; its owner hears of it (the failure itself, then the end of
// monitoring as a lost device), so a window never shows a port watched that is not.
TEST_F(CPortTest, a_raising_handler_ends_the_thread_its_owner_told_and_close_still_works) {
    Record();
    port.OpenPort();
    int reports = 0;
    std::string reported;
    port.ReportError = [&](const std::exception& e) { reported = e.what(); };
    port.OnCTSChange = [&](TCustomComPort&, bool) {
        ++reports;
        throw std::runtime_error("capture failed");
    };
    log.clear();
    line.SetCTS(true);
    ASSERT_TRUE(WaitFor("error16 "));
    line.SetCTS(false);
    line.SetCTS(true);
    Settle();
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(reported, "capture failed");
    EXPECT_EQ(log, "Lcts1 error16 ");
    port.OnCTSChange = nullptr;
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
}

// A device failing under a report (the status unreadable after the wait saw the edge) is a lost
// device too.
TEST_F(CPortTest, a_device_failing_during_a_dispatch_is_reported_as_lost) {
    Record();
    port.OpenPort();
    log.clear();
    line.FailModemStatus = 1117;
    line.SetCTS(true);
    ASSERT_TRUE(WaitFor("error16 "));
    Settle();
    EXPECT_EQ(log, "error16 ");
}

TEST_F(CPortTest, links_attach_once_and_a_late_link_sees_later_events_only) {
    Record();
    EXPECT_THROW(port.AttachLink(&link), EComPort);
    port.OpenPort();
    TComLink late;
    std::string seen;
    late.OnCTSChange = [&](TCustomComPort&, bool on) { seen += on ? "1" : "0"; };
    port.AttachLink(&late);
    EXPECT_EQ(seen, "");
    line.SetCTS(true);
    ASSERT_TRUE(WaitFor("cts1 "));
    EXPECT_EQ(seen, "1");
    port.DetachLink(&late);
    try {
        port.DetachLink(&late);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.FailureCode, 18);
        EXPECT_EQ(e.SystemError, -1);
    }
    EXPECT_FALSE(port.LinkWantsData());
    late.OnRxBuf = [](TCustomComPort&, const char*, int) {};
    port.AttachLink(&late);
    EXPECT_TRUE(port.LinkWantsData());
    port.DetachLink(&late);
}

TEST_F(CPortTest, setters_apply_only_changes_and_only_while_open) {
    port.SetBaudRate(br19200);
    EXPECT_EQ(line.SetCommStateCalls, 0);
    port.OpenPort();
    EXPECT_EQ(line.SetCommStateCalls, 1);
    EXPECT_EQ(line.LastDCB.BaudRate, 19200u);
    port.SetBaudRate(br19200);
    EXPECT_EQ(line.SetCommStateCalls, 1);
    port.FlowControl.SetFlowControl(fcHardware);
    EXPECT_EQ(line.SetCommStateCalls, 2);
    EXPECT_EQ(line.LastDCB.Flags, 0x2005u);
    port.FlowControl.Set(&TComFlowControl::ControlDTR, dtrEnable);
    port.FlowControl.SetFlowControl(fcSoftware);
    EXPECT_EQ(port.FlowControl.ControlDTR, dtrEnable);
    EXPECT_EQ(port.FlowControl.FlowControl(), fcSoftware);
    port.FlowControl.Set(&TComFlowControl::OutDSRFlow, true);
    EXPECT_EQ(port.FlowControl.FlowControl(), fcSoftware);
    port.Buffer.SetInputSize(1000);
    port.Buffer.SetInputSize(1025);
    EXPECT_EQ(port.Buffer.InputSize(), 1024);
    port.Buffer.SetInputSize(-3);
    EXPECT_EQ(port.Buffer.InputSize(), -3);
    try {
        port.SetSyncMethod(smNone);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.FailureCode, 14);
        EXPECT_STREQ(e.what(), "Cannot set property while connected");
    }
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
}

TEST_F(CPortTest, open_failures_leave_the_port_closed) {
    port.SetPort("COM7");
    try {
        port.OpenPort();
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.FailureCode, 1);
        EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
    }
    EXPECT_FALSE(port.Connected());
    port.SetPort("COM1");
    line.FailSetCommState = 87;
    EXPECT_THROW(port.OpenPort(), EComPort);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.EventThreadRunning());
    line.FailSetCommState = 0;
    port.OpenPort();
    TComPort second(driver, ui);
    try {
        second.OpenPort();
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.SystemError, 5);  // exclusive
    }
    EXPECT_THROW(TComPort(driver, ui).ReadModemSignals(), EComPort);
}

TEST_F(CPortTest, a_lost_device_reports_erIO_once_and_the_port_can_close_and_reopen) {
    Record();
    port.OpenPort();
    log.clear();
    line.Unplug();
    ASSERT_TRUE(WaitFor("error16 "));
    Settle();
    EXPECT_EQ(log, "error16 ");
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
    port.OpenPort();
    EXPECT_TRUE(port.Connected());
}

TEST_F(CPortTest, a_close_asked_for_inside_a_dispatch_waits_for_it_to_return) {
    Record();
    port.OpenPort();
    port.OnCTSChange = [&](TCustomComPort& p, bool on) {
        if (on) p.ClosePort();
        log += on ? "cts1 " : "cts0 ";
    };
    log.clear();
    line.SetCTS(true);
    ASSERT_TRUE(WaitFor("afterclose "));
    EXPECT_EQ(log, "Lcts1 cts1 Lcts0 cts0 dsr0 rlsd0 beforeclose Lconn0 afterclose ");
    EXPECT_FALSE(port.Connected());
}

TEST_F(CPortTest, no_events_means_no_thread_but_the_open_report_still_comes) {
    Record();
    port.Events = 0;
    line.SetCTS(true);
    port.OpenPort();
    EXPECT_FALSE(port.EventThreadRunning());
    EXPECT_EQ(log, "beforeopen Lconn1 afteropen Lcts1 cts1 dsr0 rlsd0 ");
    log.clear();
    line.SetCTS(false);
    Settle();
    EXPECT_EQ(log, "");
}

// A stop while the thread waits for the window with a report: an edge seen before the stop was
// asked for is reported to its end first (a real passage), and the lines end off; no "lost device"
// follows a normal stop.
TEST_F(CPortTest, a_stop_runs_the_edge_reports_waiting_and_no_lost_device_report) {
    Record();
    const std::string closed = "Lcts0 cts0 dsr0 rlsd0 beforeclose Lconn0 afterclose ";
    port.OpenPort();
    log.clear();
    line.SetCTS(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the report is waiting for the window
    port.ClosePort();
    Settle();
    EXPECT_EQ(log, "Lcts1 cts1 " + closed);

    line.SetCTS(false);
    port.OpenPort();
    log.clear();
    line.Unplug();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    port.ClosePort();
    Settle();
    EXPECT_EQ(log, closed);
}

// Asked for from the port's own handlers: a new name ends with the port open there; a close asked
// for again while closing changes nothing.
TEST_F(CPortTest, a_new_name_or_a_second_close_from_the_ports_own_handlers) {
    driver.Line("COM2");
    Record();
    port.OpenPort();
    port.OnCTSChange = [&](TCustomComPort& p, bool on) {
        log += on ? "cts1 " : "cts0 ";
        if (on) p.SetPort("COM2");
    };
    log.clear();
    line.SetCTS(true);
    ASSERT_TRUE(WaitFor("afteropen Lcts0 cts0 dsr0 rlsd0 "));
    EXPECT_EQ(log, "Lcts1 cts1 Lcts0 cts0 dsr0 rlsd0 beforeclose Lconn0 afterclose "
                   "beforeopen Lconn1 afteropen Lcts0 cts0 dsr0 rlsd0 ");
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Port(), "COM2");

    port.OnBeforeClose = [&](TCustomComPort& p) {
        log += "beforeclose ";
        p.ClosePort();
    };
    log.clear();
    port.ClosePort();
    EXPECT_EQ(log, "Lcts0 cts0 dsr0 rlsd0 beforeclose Lconn0 afterclose ");
    EXPECT_FALSE(port.Connected());
}

// CTS comes on after the event wait began and before the open report: one report of it, not two.
// A later change is reported as ever.
TEST_F(CPortTest, an_edge_at_the_open_is_reported_once) {
    Record();
    port.OnAfterOpen = [&](TCustomComPort&) {
        log += "afteropen ";
        line.SetCTS(true);
    };
    port.OpenPort();
    Settle();
    EXPECT_EQ(log, "beforeopen Lconn1 afteropen Lcts1 cts1 dsr0 rlsd0 ");
    log.clear();
    line.SetCTS(false);
    ASSERT_TRUE(WaitFor("cts0 "));
    line.SetCTS(true);
    ASSERT_TRUE(WaitFor("cts1 "));
    EXPECT_EQ(log, "Lcts0 cts0 Lcts1 cts1 ");
}

// A port destroyed by its own handler ends the program with a clear word rather than hanging it.
TEST(CPortDeathTest, a_port_destroyed_from_its_own_handler_is_refused_clearly) {
    EXPECT_DEATH(
        {
            base::TCallQueue ui;
            TSimComDriver driver;
            TSimLine& line = driver.Line("COM1");
            auto* port = new TComPort(driver, ui);
            port->OnCTSChange = [&](TCustomComPort&, bool on) {
                if (on) delete port;
            };
            port->OpenPort();
            line.SetCTS(true);
            testing_support::PumpQueueUntil(ui, [] { return false; }, 2000);
        },
        "destroyed from inside its own event handler");
}

// Window-sync reports are posted: a stop with one still posted runs it first, its edge being from
// before the stop. Without sync, the end of monitoring is told on the event thread itself.
TEST_F(CPortTest, window_sync_stop_and_no_sync_loss_are_told_as_the_others) {
    Record();
    port.SetSyncMethod(smWindowSync);
    port.OpenPort();
    log.clear();
    line.SetCTS(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // posted, not yet run
    port.ClosePort();
    Settle();
    EXPECT_EQ(log, "Lcts1 cts1 Lcts0 cts0 dsr0 rlsd0 beforeclose Lconn0 afterclose ");

    port.DetachLink(&link);
    port.OnCTSChange = nullptr;
    port.OnDSRChange = port.OnRLSDChange = nullptr;
    std::atomic<int> lost{0};
    port.OnError = [&](TCustomComPort&, TComErrors e) { lost += (e & erIO) != 0; };
    port.SetSyncMethod(smNone);
    port.OpenPort();
    line.FailModemStatus = 1117;
    line.SetCTS(false);
    for (int i = 0; i < 200 && lost == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(lost, 1);
    line.FailModemStatus = 0;
}

// However late the UI thread takes a line report up, and whichever way it is handed over, the
// handlers learn when the line changed: the driver's own time for the edge, or else the moment the
// event thread's wait returned, on the port's clock.
TEST_F(CPortTest, a_report_taken_up_late_tells_when_the_line_changed_in_every_sync_mode) {
    base::TFakeClock clock;
    clock.UtcMs = 1'000'000;
    for (TSyncMethod mode : {smThreadSync, smWindowSync, smNone}) {
        std::mutex lock;  // without sync the handler runs on the event thread
        std::vector<int64_t> seen;
        TComPort p(driver, ui, clock);
        p.SetSyncMethod(mode);
        auto count = [&] {
            std::lock_guard<std::mutex> g(lock);
            return seen.size();
        };
        p.OnCTSChange = [&](TCustomComPort& port, bool on) {
            std::lock_guard<std::mutex> g(lock);
            seen.push_back(on ? port.LineChangeTime() : -1);
        };
        p.OpenPort();
        line.SetCTS(true, 5'000'000);
        line.WaitTaken();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the window busy meanwhile
        ASSERT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return count() == 2; })) << mode;
        line.SetCTS(false);
        ASSERT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return count() == 3; })) << mode;
        line.SetCTS(true);
        ASSERT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return count() == 4; })) << mode;
        EXPECT_EQ(seen, (std::vector<int64_t>{-1, 5'000'000, -1, 1'000'000'000})) << mode;
        p.ClosePort();
        line.SetCTS(false);
    }
}

// A driver that tells only the lines' levels (Windows): its watcher keeps every change for the
// event thread. One CTS event that finds the line where the last change left it was a pulse that
// came and went between two looks: both its edges are handed on, with that look's time.
// Three runners 15 ms apart while the window is busy, then a stop: the changes the driver still
// keeps are handed on before the thread ends, each with its own time, though the event thread comes
// back for each later than the window runs what is queued.
TEST_F(CPortTest, a_stop_keeps_every_edge_the_driver_kept_before_it) {
    line.KeepChanges = true;
    line.SlowWaitMs = 2;
    port.OpenPort();
    std::vector<int64_t> runners;
    port.OnCTSChange = [&](TCustomComPort& p, bool on) {
        if (on) runners.push_back(p.LineChangeMonotonicTime());
    };
    for (int runner = 0; runner < 3; ++runner) {
        line.SetCTS(true);
        line.SetCTS(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    port.ClosePort();
    ASSERT_EQ(runners.size(), 3u);
    for (size_t i = 1; i < runners.size(); ++i) EXPECT_LT(runners[i - 1] + 10000, runners[i]) << i;
}

// The pulse's second edge, remembered by the driver, ends the next wait at once: still one runner.
TEST_F(CPortTest, a_pulse_the_driver_remembered_after_the_look_is_reported_once) {
    line.KeepChanges = true;
    Record();
    port.OpenPort();
    log.clear();
    line.PulseBeforeLook();
    Settle();
    line.SetCTS(true);  // the next runner: an edge that changes the level again
    Settle();
    EXPECT_EQ(log, "Lcts1 cts1 Lcts0 cts0 Lcts1 cts1 ");
}

TEST(LineChangesTest, a_cts_event_at_the_same_level_is_a_whole_pulse) {
    TLineChanges kept;
    kept.Restart(0);
    kept.Keep(EV_CTS, 0, TEdgeTime{7000, 70});
    kept.Keep(EV_CTS | EV_RXCHAR, MS_CTS_ON, TEdgeTime{8000, 80});
    std::vector<std::pair<uint32_t, int64_t>> got;
    while (auto c = kept.Take()) got.emplace_back(c->Status & MS_CTS_ON, c->At.MonoUs);
    EXPECT_EQ(got, (std::vector<std::pair<uint32_t, int64_t>>{{MS_CTS_ON, 70}, {0, 70}, {MS_CTS_ON, 80}}));
}

// Pulses that come and go while the window is busy with a report: a driver that keeps each change
// (as the Windows watcher does) hands every edge on once the window is free, none lost.
TEST_F(CPortTest, every_edge_a_watcher_kept_while_the_window_was_busy_is_reported) {
    line.KeepChanges = true;
    Record();
    port.OpenPort();
    log.clear();
    for (bool on : {true, false, true, false, true, false}) line.SetCTS(on);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the window takes up nothing meanwhile
    Settle();
    EXPECT_EQ(log, "Lcts1 cts1 Lcts0 cts0 Lcts1 cts1 Lcts0 cts0 Lcts1 cts1 Lcts0 cts0 ");
}
