// The Linux driver against pseudo-terminal pairs. Only ptys the test made are opened.
#include "serial/ComDriverPosix.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include "serial/CPort.h"
#include "tests/serial/Pty.h"
#include "tests/serial/QueuePump.h"
#include "tests/serial/ScriptedLines.h"

using namespace serial;
using testing_support::TPty;

namespace {

termios2 TermiosOf(const TPty& pty) {
    termios2 t{};
    ioctl(pty.Master(), TCGETS2, &t);  // a master reads its slave's settings
    return t;
}

class PtyPortTest : public testing::Test {
protected:
    PtyPortTest() : port(driver, ui) {
        port.SetPort(pty.Path());
        port.OnError = [&](TCustomComPort&, TComErrors e) { log += "error" + std::to_string(e) + " "; };
        port.OnRxChar = [&](TCustomComPort&, int n) { log += "rx" + std::to_string(n) + " "; };
    }
    ~PtyPortTest() override { port.ClosePort(); }

    bool WaitFor(const std::string& tail) {
        return testing_support::PumpQueueUntil(ui, [&] { return testing_support::EndsWith(log, tail); });
    }

    TPty pty;
    base::TCallQueue ui;
    TPosixComDriver driver;
    TComPort port;
    std::string log;
};

// The driver's device on a fresh pty, without the port component.
class PtyDeviceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        dev = driver.Open(pty.Path(), error);
        ASSERT_NE(dev, nullptr);
    }

    TPty pty;
    TPosixComDriver driver;
    int error = 0;
    std::unique_ptr<TComDevice> dev;
};

}  // namespace

TEST(ComDriverPosix, port_names_map_to_devices) {
    EXPECT_EQ(DevicePathOf("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DevicePathOf("com12"), "/dev/ttyS11");
    EXPECT_EQ(DevicePathOf("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathOf("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(DevicePathOf("COM0"), "/dev/COM0");  // no such port rather than a wrap-around
    EXPECT_EQ(DevicePathOf("COMX"), "/dev/COMX");
}

TEST(ComDriverPosix, counters_between_waits_give_one_event_per_kind) {
    TLineCounts a, b;
    b.Cts = 2;  // on and off again between two waits: still reported
    b.Brk = 1;
    EXPECT_EQ(EventsBetween(a, b), EV_CTS | EV_BREAK);
    EXPECT_EQ(ErrorsBetween(a, b), CE_BREAK);
    b = a;
    b.Parity = 1;
    b.BufOverrun = 3;
    EXPECT_EQ(EventsBetween(a, b), EV_ERR);
    EXPECT_EQ(ErrorsBetween(a, b), CE_RXPARITY | CE_RXOVER);
    EXPECT_EQ(EventsBetween(a, a), 0u);
    EXPECT_EQ(EventsOfStatusChange(0, MS_CTS_ON | MS_RING_ON), EV_CTS | EV_RING);
    EXPECT_EQ(EventsOfStatusChange(MS_RING_ON | MS_DSR_ON, 0), EV_DSR);  // the ring ending is no ring
}

TEST(ComDriverPosix, open_failures_carry_windows_codes) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TPosixComDriver driver;
    int error = 0;
    EXPECT_EQ(driver.Open("/dev/no-such-port-here", error), nullptr);
    EXPECT_EQ(error, 2);
    EXPECT_EQ(driver.Open("/dev/null/tty", error), nullptr);
    EXPECT_EQ(error, 3);
    EXPECT_EQ(driver.Open("/dev/null", error), nullptr);  // a device, but not a serial one
    EXPECT_EQ(error, 1);

    auto first = driver.Open(pty.Path(), error);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(driver.Open(pty.Path(), error), nullptr);  // exclusive, for root as well
    EXPECT_EQ(error, 5);
    first.reset();
    EXPECT_NE(driver.Open(pty.Path(), error), nullptr);
}

TEST_F(PtyPortTest, settings_become_termios_fields) {
    ASSERT_TRUE(pty.Ok());
    port.OpenPort();
    termios2 t = TermiosOf(pty);
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_EQ(t.c_lflag, 0u);  // raw: no echo, no line editing
    EXPECT_EQ(t.c_oflag, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u);

    // Changes while open re-apply at once.
    port.SetBaudRate(br14400);
    t = TermiosOf(pty);
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(t.c_ospeed, 14400u);
    EXPECT_EQ(t.c_ispeed, 14400u);
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    EXPECT_EQ(TermiosOf(pty).c_ospeed, 31250u);
    port.SetBaudRate(br256000);
    EXPECT_EQ(TermiosOf(pty).c_ospeed, 256000u);

    // A pty forces CS8 and no parity; stop bits and the parity kind stay visible.
    port.SetStopBits(sbTwoStopBits);
    port.Parity.SetBits(prMark);
    EXPECT_EQ(TermiosOf(pty).c_cflag & (PARODD | CMSPAR | CSTOPB), static_cast<tcflag_t>(PARODD | CMSPAR | CSTOPB));

    port.FlowControl.SetFlowControl(fcHardware);
    EXPECT_TRUE(TermiosOf(pty).c_cflag & CRTSCTS);
    port.FlowControl.SetFlowControl(fcSoftware);
    t = TermiosOf(pty);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 17);
    EXPECT_EQ(t.c_cc[VSTOP], 19);

    // A pty has no modem lines: they read as off, and DTR/RTS settings are no failure.
    port.FlowControl.Set(&TComFlowControl::ControlDTR, dtrEnable);
    EXPECT_EQ(port.ReadModemSignals(), 0);
}

TEST(ComDriverPosix, line_settings_record_to_termios) {
    TLineSettings s;
    s.DataBits = dbSeven;
    s.ParityBits = prSpace;
    s.StopBits = sbTwoStopBits;
    s.BaudRate = br56000;
    termios2 t{};
    t.c_lflag = ECHO | ICANON;
    SetTermios(BuildDCB(s), t);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | CMSPAR));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
    EXPECT_EQ(t.c_ispeed, 56000u);
    EXPECT_EQ(t.c_lflag, 0u);

    s.DataBits = dbFive;
    s.ParityBits = prEven;
    s.StopBits = sbOne5StopBits;  // CSTOPB with five bits is 1.5
    s.BaudRate = br115200;
    s.ParityCheck = true;
    SetTermios(BuildDCB(s), t);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB), static_cast<tcflag_t>(PARENB | CSTOPB));
    EXPECT_EQ(t.c_cflag & CBAUD, static_cast<tcflag_t>(B115200));
    EXPECT_FALSE(t.c_iflag & INPCK);  // checked bytes are kept; the counters report the errors
    s.ParityReplace = true;
    SetTermios(BuildDCB(s), t);
    EXPECT_TRUE(t.c_iflag & INPCK);

    s.OutCTSFlow = true;  // CTS flow alone has no Linux equivalent
    SetTermios(BuildDCB(s), t);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    s.ControlRTS = rtsHandshake;
    SetTermios(BuildDCB(s), t);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
}

TEST_F(PtyPortTest, a_zero_speed_is_refused_instead_of_hanging_the_line_up) {
    ASSERT_TRUE(pty.Ok());
    port.OpenPort();
    port.SetBaudRate(brCustom);
    try {
        port.SetCustomBaudRate(0);
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.FailureCode, 7);
        EXPECT_EQ(e.SystemError, 87);
    }
    EXPECT_EQ(TermiosOf(pty).c_ospeed, 9600u);  // the line keeps its speed
}

TEST_F(PtyPortTest, arriving_bytes_report_their_count_and_read_back) {
    ASSERT_TRUE(pty.Ok());
    port.OpenPort();
    ASSERT_TRUE(pty.Send("abc"));
    ASSERT_TRUE(WaitFor("rx3 "));
    EXPECT_EQ(port.ReadInputCount(), 3);
    char buf[8] = {};
    EXPECT_EQ(port.ReadBlock(buf, sizeof buf), 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    EXPECT_EQ(port.ReadInputCount(), 0);
    ASSERT_TRUE(pty.Send("de"));
    EXPECT_TRUE(WaitFor("rx3 rx2 "));
}

TEST_F(PtyPortTest, hang_up_ends_the_thread_with_one_report_and_the_port_reopens) {
    ASSERT_TRUE(pty.Ok());
    port.OpenPort();
    pty.HangUp();
    ASSERT_TRUE(WaitFor("error16 "));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ui.RunPending();
    EXPECT_EQ(log, "error16 ");  // one report, no spinning on the dead device
    auto start = std::chrono::steady_clock::now();
    port.ClosePort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(port.Connected());

    TPty other;
    ASSERT_TRUE(other.Ok());
    port.SetPort(other.Path());
    port.OpenPort();
    ASSERT_TRUE(other.Send("x"));
    EXPECT_TRUE(WaitFor("rx1 "));
}

TEST_F(PtyPortTest, close_and_open_again_and_a_second_port_on_the_same_device_fails) {
    ASSERT_TRUE(pty.Ok());
    port.OpenPort();
    port.ClosePort();
    port.OpenPort();
    EXPECT_TRUE(port.Connected());

    TComPort second(driver, ui);
    second.SetPort(pty.Path());
    try {
        second.OpenPort();
        FAIL();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.FailureCode, 1);
        EXPECT_EQ(e.SystemError, 5);
        EXPECT_NE(std::string(e.what()).find("(win error code: 5)"), std::string::npos);
    }
    EXPECT_FALSE(second.Connected());
    ASSERT_TRUE(pty.Send("z"));
    EXPECT_TRUE(WaitFor("rx1 "));  // the first port is untouched
}

TEST_F(PtyDeviceTest, a_stop_wakes_the_wait_and_every_later_one) {
    dev->SetCommMask(EV_RXCHAR | EV_CTS);
    TComDevice::TWait result = TComDevice::TWait::Event;
    std::thread waiter([&] {
        uint32_t ev = 0;
        result = dev->WaitCommEvent(ev);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dev->StopWaits();
    waiter.join();
    EXPECT_EQ(result, TComDevice::TWait::Stopped);
    ASSERT_TRUE(pty.Send("q"));
    uint32_t ev = 0;
    EXPECT_EQ(dev->WaitCommEvent(ev), TComDevice::TWait::Stopped);  // the stop beats waiting data
}

TEST_F(PtyDeviceTest, input_queue_null_discarding_event_char_and_read_timeouts) {
    TLineSettings s;
    s.DiscardNull = true;
    s.EventChar = '\n';
    ASSERT_TRUE(dev->SetCommState(BuildDCB(s), error));
    ASSERT_TRUE(dev->SetupComm(16, 16, error));
    dev->SetCommMask(EV_RXCHAR | EV_RXFLAG | EV_RX80FULL);

    ASSERT_TRUE(pty.Send(std::string("ab\0c\n", 5)));
    uint32_t ev = 0;
    ASSERT_EQ(dev->WaitCommEvent(ev), TComDevice::TWait::Event);
    EXPECT_EQ(ev, EV_RXCHAR | EV_RXFLAG);
    uint32_t errors = 0, queued = 0;
    ASSERT_TRUE(dev->ClearCommError(errors, queued, error));
    EXPECT_EQ(queued, 4u);

    // More than the queue holds: the rest waits in the device, nothing is lost, order is kept.
    std::string many;
    for (int i = 0; i < 40; ++i) many += static_cast<char>('A' + i % 26);
    ASSERT_TRUE(pty.Send(many));
    ASSERT_EQ(dev->WaitCommEvent(ev), TComDevice::TWait::Event);
    EXPECT_TRUE(ev & EV_RX80FULL);
    TCommTimeouts immediate{0xFFFFFFFF, 0, 0, 0, 0};
    ASSERT_TRUE(dev->SetCommTimeouts(immediate, error));
    char buf[64];
    uint32_t got = 0, total = 0;
    std::string all;
    for (int i = 0; i < 50 && total < 44; ++i) {
        ASSERT_TRUE(dev->Read(buf, sizeof buf, got, error));
        all.append(buf, got);
        total += got;
        if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(all, "abc\n" + many);

    // A total time-out returns what came, also nothing; a wait for one byte takes it as it arrives.
    TCommTimeouts shortWait{0, 0, 30, 0, 0};
    ASSERT_TRUE(dev->SetCommTimeouts(shortWait, error));
    ASSERT_TRUE(dev->Read(buf, 4, got, error));
    EXPECT_EQ(got, 0u);
    TCommTimeouts oneByte{0xFFFFFFFF, 0xFFFFFFFF, 5000, 0, 0};
    ASSERT_TRUE(dev->SetCommTimeouts(oneByte, error));
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pty.Send("k");
    });
    ASSERT_TRUE(dev->Read(buf, 4, got, error));
    sender.join();
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(buf[0], 'k');
}

namespace {

class ScriptedLinesTest : public testing::Test {
protected:
    void Open() {
        driver = std::make_unique<TPosixComDriver>(lines.Ioctl());
        port = std::make_unique<TComPort>(*driver, ui);
        port->SetPort(pty.Path());
        port->OnCTSChange = [&](TCustomComPort&, bool on) { log += on ? "cts1 " : "cts0 "; };
        port->OnError = [&](TCustomComPort&, TComErrors e) { log += "error" + std::to_string(e) + " "; };
        port->OpenPort();
    }
    ~ScriptedLinesTest() override {
        if (port) port->ClosePort();
    }
    bool WaitFor(const std::string& tail) {
        return testing_support::PumpQueueUntil(ui, [&] { return testing_support::EndsWith(log, tail); });
    }

    TPty pty;
    testing_support::TScriptedLines lines;
    base::TCallQueue ui;
    std::unique_ptr<TPosixComDriver> driver;
    std::unique_ptr<TComPort> port;
    std::string log;
};

}  // namespace

// An adapter that reports its lines but cannot wait for them: they are watched all the same, and
// the changes seen while a report waits for the window are each reported.
TEST_F(ScriptedLinesTest, a_device_without_line_waits_still_reports_cts) {
    lines.canWait = false;
    lines.hasCounters = false;
    Open();
    EXPECT_EQ(log, "cts0 ");
    lines.bits = TIOCM_CTS;
    ASSERT_TRUE(WaitFor("cts1 "));
    lines.bits = 0;
    ASSERT_TRUE(WaitFor("cts0 "));
    for (int on : {TIOCM_CTS, 0, TIOCM_CTS}) {
        lines.bits = on;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return log == "cts0 cts1 cts0 cts1 cts0 cts1 "; }, 40)) << log;
}

// Pulled in the middle of a report: the counters saw the edge, the status can no longer be read.
// The thread ends with the lost-device report, so the window can close and tell the user; a stop
// afterwards adds nothing.
TEST_F(ScriptedLinesTest, a_device_lost_during_a_dispatch_is_reported_once) {
    Open();
    log.clear();
    lines.failGet = EIO;
    lines.ctsCount += 1;
    ASSERT_TRUE(WaitFor("error16 ")) << log;
    port->ClosePort();
    testing_support::PumpQueueUntil(ui, [] { return false; }, 20);
    EXPECT_EQ(log, "error16 cts0 ");  // the close's own report of the lines off
    EXPECT_FALSE(port->Connected());
}

// Pulses that come and go while a report waits for the window: each edge the counters saw is
// reported in turn with its own level, so every "on" still becomes a capture. A pulse too short for
// the UART to count both edges (one count, the level back where it was) is still an on and an off.
TEST_F(ScriptedLinesTest, edges_counted_while_a_report_waits_are_each_reported) {
    Open();
    log.clear();
    for (bool on : {true, false, true, false, true}) lines.SetCts(on);
    ASSERT_TRUE(WaitFor("cts1 cts0 cts1 cts0 cts1 ")) << log;
    lines.ctsCount += 1;
    ASSERT_TRUE(WaitFor("cts0 cts1 ")) << log;
    testing_support::PumpQueueUntil(ui, [] { return false; }, 20);
    EXPECT_EQ(log, "cts1 cts0 cts1 cts0 cts1 cts0 cts1 ");
}

// An edge that comes while the watcher goes back into its wait wakes nothing; it is reported all
// the same, at once, not with the next change of the line.
TEST_F(ScriptedLinesTest, an_edge_as_the_watcher_waits_again_is_not_held_back) {
    lines.waitMs = 300;  // a wait ends only on a change, as the kernel's
    Open();
    log.clear();
    lines.edgeAsWaitBegins = true;
    lines.SetCts(true);
    EXPECT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return log == "cts1 cts0 "; }, 20)) << log;
}

// Edges that come while a report waits for the window each carry the time the line watcher saw
// them, not the time the window got round to them.
TEST_F(ScriptedLinesTest, each_edge_carries_the_time_the_watcher_saw_it_however_late_it_is_reported) {
    lines.waitMs = 300;  // a wait ends only on a change, as the kernel's
    Open();
    std::vector<int64_t> times;
    port->OnCTSChange = [&](TCustomComPort& p, bool) { times.push_back(p.LineChangeTime()); };
    base::TClock& clock = base::SystemClock();
    std::vector<std::pair<int64_t, int64_t>> made;
    for (bool on : {true, false, true, false}) {
        const uint32_t count = lines.ctsCount + 1;
        const int64_t before = clock.UnixUsNow();
        lines.SetCts(on);
        for (int i = 0; i < 20000 && lines.ctsReadByWatcher != count; ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        made.emplace_back(before, clock.UnixUsNow());
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    ASSERT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return times.size() == 4; })) << times.size();
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_GE(times[i], made[i].first) << i;
        EXPECT_LE(times[i], made[i].second) << i;
    }
    port->ClosePort();  // its report of the lines off still finds `times`
}

// The "off" counted while the line is already on again: the new "on" that no count has yet is
// handed on with the time of the look that found it, not with the time of the "off" before it.
TEST_F(ScriptedLinesTest, an_edge_no_watcher_timed_takes_the_time_of_the_look_that_found_it) {
    std::atomic<int64_t> now{1'000'000};
    driver = std::make_unique<TPosixComDriver>(lines.Ioctl(), [&] {
        const int64_t t = now += 1000;
        return serial::TEdgeTime{t, t};
    });
    port = std::make_unique<TComPort>(*driver, ui);
    port->SetPort(pty.Path());
    std::vector<std::pair<bool, int64_t>> reports;
    port->OnCTSChange = [&](TCustomComPort& p, bool on) { reports.emplace_back(on, p.LineChangeTime()); };
    port->OpenPort();
    lines.SetCts(true);
    ASSERT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return reports.size() == 2; }));  // the open's, the on
    // The off, counted; the line reads on all the same. The watcher notes it before the event
    // thread's look ends: the look, slower, finds the "on" that no watcher saw.
    lines.slowLookMs = 10;
    lines.ctsCount += 1;
    ASSERT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return reports.size() == 4; })) << reports.size();
    EXPECT_FALSE(reports[2].first);
    EXPECT_TRUE(reports[3].first);
    EXPECT_GT(reports[3].second, reports[2].second);
    port->ClosePort();  // its report of the lines off still finds `reports`
}

// Three runners 15 ms apart while the window is busy, then a stop: the edges still counted in the
// driver are handed on before it ends, each a report of its own, though the event thread comes back
// for each later than the window runs what is queued.
TEST_F(ScriptedLinesTest, a_stop_keeps_every_edge_counted_before_it) {
    Open();
    lines.slowLookMs = 2;
    log.clear();
    for (int runner = 0; runner < 3; ++runner) {
        lines.SetCts(true);
        lines.SetCts(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    port->ClosePort();
    EXPECT_EQ(testing_support::Count(log, "cts1 "), 3) << log;
    EXPECT_FALSE(port->Connected());
}
