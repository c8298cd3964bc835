// The Windows driver under wine, on a pseudo-terminal the test script made and mapped as the COM
// device named by TEMPIX_TEST_COM; bytes written to TEMPIX_PTY_SEND (a file the script watches)
// arrive on the line, and the CTS line follows the schedule written to TEMPIX_PTY_LINES. No other
// port is ever opened.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "serial/CPort.h"
#include "serial/PortSelect.h"
#include "tests/serial/QueuePump.h"

using namespace serial;

namespace {

// Wine leaves exclusivity to the Unix device, and a pty does not refuse a second open.
bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Hands bytes to the script, which writes them into the pty's master side.
bool SendToLine(const std::string& bytes) {
    std::string path = Env("TEMPIX_PTY_SEND");
    std::string tmp = path + ".new";
    std::ofstream(tmp, std::ios::binary) << bytes;
    if (!MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    for (int i = 0; i < 200 && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;  // taken
}

// Replaces the CTS line's schedule: from each entry's time on (microseconds since 1970), the line
// has its level.
bool ScheduleCts(const std::vector<std::pair<int64_t, bool>>& edges) {
    std::string path = Env("TEMPIX_PTY_LINES");
    std::string tmp = path + ".new";
    {
        std::ofstream out(tmp, std::ios::binary);
        for (const auto& [at, on] : edges) out << at << ' ' << (on ? 1 : 0) << '\n';
    }
    return MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

class WinComTest : public testing::Test {
protected:
    void SetUp() override {
        com = Env("TEMPIX_TEST_COM");
        if (com.empty()) GTEST_SKIP() << "no pty mapped as a COM device for this run";
    }
    std::string com;
    int error = 0;
};

}  // namespace

TEST_F(WinComTest, open_is_exclusive_and_a_missing_port_is_not_found) {
    auto dev = SystemComDriver().Open(com, error);
    ASSERT_NE(dev, nullptr) << "error " << error;
    if (!UnderWine()) {
        EXPECT_EQ(SystemComDriver().Open(com, error), nullptr);
        EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    }
    dev.reset();
    EXPECT_NE(SystemComDriver().Open(com, error), nullptr);  // free again once closed

    EXPECT_EQ(SystemComDriver().Open("COM199", error), nullptr);
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
}

TEST_F(WinComTest, settings_arriving_bytes_and_the_stop) {
    auto dev = SystemComDriver().Open(com, error);
    ASSERT_NE(dev, nullptr) << "error " << error;
    TLineSettings s;
    s.BaudRate = br19200;
    ASSERT_TRUE(dev->SetupComm(1024, 1024, error)) << error;
    ASSERT_TRUE(dev->SetCommState(BuildDCB(s), error)) << error;
    ASSERT_TRUE(dev->SetCommTimeouts(TCommTimeouts{0xFFFFFFFF, 0, 0, 0, 0}, error)) << error;
    ASSERT_TRUE(dev->PurgeComm(PURGE_RXCLEAR | PURGE_TXCLEAR, error)) << error;
    dev->SetCommMask(EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_BREAK | EV_ERR);

    ASSERT_TRUE(SendToLine("abc"));
    uint32_t ev = 0;
    ASSERT_EQ(dev->WaitCommEvent(ev), TComDevice::TWait::Event);  // the line events left out here
    EXPECT_TRUE(ev & EV_RXCHAR);
    uint32_t errors = 0, queued = 0;
    for (int i = 0; i < 100 && queued < 3; ++i, Sleep(10)) ASSERT_TRUE(dev->ClearCommError(errors, queued, error));
    EXPECT_EQ(queued, 3u);
    char buf[8] = {};
    uint32_t got = 0;
    ASSERT_TRUE(dev->Read(buf, sizeof buf, got, error)) << error;
    EXPECT_EQ(std::string(buf, got), "abc");

    TComDevice::TWait result = TComDevice::TWait::Event;
    std::thread waiter([&] {  // changes the watcher kept meanwhile are handed on first
        uint32_t e = 0;
        do result = dev->WaitCommEvent(e);
        while (result == TComDevice::TWait::Event);
    });
    Sleep(50);
    dev->StopWaits();
    waiter.join();
    EXPECT_EQ(result, TComDevice::TWait::Stopped);
    EXPECT_EQ(dev->WaitCommEvent(ev), TComDevice::TWait::Stopped);
}

TEST_F(WinComTest, the_port_component_reports_bytes_and_closes_promptly) {
    base::TCallQueue ui;
    TComPort port(SystemComDriver(), ui);
    std::string log;
    port.OnRxChar = [&](TCustomComPort&, int n) { log += "rx" + std::to_string(n) + " "; };
    port.SetPort(com);
    port.OpenPort();
    ASSERT_TRUE(port.Connected());

    if (!UnderWine()) {
        TComPort second(SystemComDriver(), ui);
        second.SetPort(com);
        try {
            second.OpenPort();
            ADD_FAILURE() << "a second open succeeded";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.FailureCode, 1);
            EXPECT_EQ(e.SystemError, 5);
        }
    }

    ASSERT_TRUE(SendToLine("xy"));
    EXPECT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return log.find("rx") != std::string::npos; }));
    auto start = std::chrono::steady_clock::now();
    port.ClosePort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(port.Connected());
}

// A contact that closes, bounces open and closes again while the window is busy with the capture:
// each edge is handed on in order with its own time, not with the time the window was free again
// (which would pass a lockout), and the bounce is not lost. Wine looks at the lines about once a
// millisecond, but only some milliseconds after each wait is armed, and later on a busy machine:
// the edges are 40 ms apart.
TEST_F(WinComTest, edges_while_the_window_is_busy_arrive_in_order_with_their_own_times) {
    ASSERT_TRUE(ScheduleCts({}));
    base::TCallQueue ui;
    TComPort port(SystemComDriver(), ui);
    std::vector<std::pair<bool, int64_t>> seen;
    port.OnCTSChange = [&](TCustomComPort&, bool on) {
        seen.emplace_back(on, port.LineChangeTime());
        if (on) Sleep(400);
    };
    port.SetPort(com);
    port.OpenPort();
    ASSERT_TRUE(port.Connected());
    testing_support::PumpQueueUntil(ui, [] { return false; }, 20);  // the open's report
    seen.clear();
    const int64_t t0 = base::SystemClock().UnixUsNow() + 100000;
    ASSERT_TRUE(ScheduleCts({{t0, true}, {t0 + 40000, false}, {t0 + 80000, true}}));
    EXPECT_TRUE(testing_support::PumpQueueUntil(ui, [&] { return seen.size() >= 3; }));
    testing_support::PumpQueueUntil(ui, [] { return false; }, 20);
    ASSERT_EQ(seen.size(), 3u);
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].first, i != 1);
        const int64_t edge = t0 + 40000 * static_cast<int64_t>(i);
        EXPECT_GE(seen[i].second, edge);
        EXPECT_LT(seen[i].second, edge + 100000);  // the window is busy until +400 ms
    }
    port.ClosePort();
}

TEST(WinPortList, the_registry_lists_what_the_system_maps) {
    // Under wine the list holds whatever the prefix maps; the call itself must not fail.
    std::vector<std::string> names;
    EXPECT_NO_THROW(ListSerialPorts(names, SystemPortLister()));
    for (const std::string& n : names) EXPECT_FALSE(n.empty());
}
