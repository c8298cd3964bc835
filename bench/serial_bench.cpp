// The serial port's event path: CTS change to handler on the UI loop, reports lost under a steady
// stream of changes, and what an idle event thread costs.
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "app/RecordKeeper.h"
#include "app/Stopwatch.h"
#include "bench/BenchUtil.h"
#include "serial/CPort.h"
#include "serial/ComDriverPosix.h"
#include "serial/ComDriverSim.h"
#include "tests/TestDir.h"
#include "tests/serial/PrivateKit.h"
#include "tests/serial/Pty.h"
#include "tests/serial/ScriptedLines.h"

using namespace serial;
using clk = std::chrono::steady_clock;

namespace {

double Ms(clk::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void SpinFor(std::chrono::microseconds d) {
    auto until = clk::now() + d;
    while (clk::now() < until) std::this_thread::yield();
}

// Runs `producer` on its own thread while this thread is the UI loop, until the producer ends.
template <class F>
void WithUiLoop(base::TCallQueue& ui, F producer) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        producer();
        done = true;
        ui.Notify();
    });
    ui.RunUntil([&] { return done.load(); });
    t.join();
}

// A port on a simulated line, with the queue its reports go through.
struct TSimRig {
    base::TCallQueue ui;
    TSimComDriver driver;
    TSimLine& line = driver.Line("COM1");
    TComPort port{driver, ui};
};

void CtsLag() {
    TSimRig rig;
    auto& [ui, driver, line, port] = rig;
    std::atomic<int64_t> stamp{0};
    std::atomic<int> handled{0};
    std::vector<double> lags;
    lags.reserve(10000);
    port.OnCTSChange = [&](TCustomComPort&, bool) {
        lags.push_back(Ms(clk::now().time_since_epoch() - clk::duration(stamp.load())));
        ++handled;
    };
    port.OpenPort();
    handled = 0;
    lags.clear();
    WithUiLoop(ui, [&] {
        for (int i = 0; i < 10000; ++i) {
            stamp = clk::now().time_since_epoch().count();
            line.SetCTS(i % 2 == 0);
            auto giveUp = clk::now() + std::chrono::seconds(1);
            while (handled.load() <= i && clk::now() < giveUp) std::this_thread::yield();
            SpinFor(std::chrono::microseconds(20));
        }
    });
    std::vector<double> measured = lags;  // the close reports the lines once more
    port.ClosePort();
    bench::Figure("cts_to_handler_lag_p50_ms", bench::Percentile(measured, 50), "ms");
    bench::Figure("cts_to_handler_lag_p99_ms", bench::Percentile(measured, 99), "ms");
    bench::Figure("cts_to_handler_lag_p999_ms", bench::Percentile(measured, 99.9), "ms");
    bench::Figure("cts_to_handler_lag_max_ms", bench::Percentile(measured, 100), "ms");
}

void CtsLost() {
    TSimRig rig;
    auto& [ui, driver, line, port] = rig;
    std::atomic<int> handled{0};
    port.OnCTSChange = [&](TCustomComPort&, bool) { ++handled; };
    port.OpenPort();
    handled = 0;
    // Changes closer than one dispatch merge into one report, as the Windows driver merges them.
    const int changes = 100000;
    const auto spacing = std::chrono::microseconds(200);
    WithUiLoop(ui, [&] {
        for (int i = 0; i < changes; ++i) {
            line.SetCTS(i % 2 == 0);
            std::this_thread::sleep_for(spacing);
        }
        auto until = clk::now() + std::chrono::seconds(1);
        while (handled.load() < changes && clk::now() < until) std::this_thread::yield();
    });
    int lost = changes - handled.load();
    port.ClosePort();
    bench::Figure("cts_reports_lost_200us_flood", lost, "reports");
}

// A port on a pty whose modem lines the benchmark scripts, behind the real Linux watcher, with a
// folder for the capture's logs.
struct TWatcherRig {
    TWatcherRig() { port.SetPort(pty.Path()); }
    testing_support::TPty pty;
    testing_support::TTempDir dir;
    app::TDataPaths paths = app::TDataPaths::Build(dir.Path());
    base::TCallQueue ui;
    testing_support::TScriptedLines cts;
    TPosixComDriver driver{cts.Ioctl()};
    TComPort port{driver, ui};
    app::TRecordKeeper records{"", nullptr};
    // The capture's file work as the main window does it: a record for each log's queue.
    void Capture(const std::string& time, const std::string& date) {
        const std::string record = app::CaptureRecord(time, date);
        records.Add(paths.TimeLog, record);
        records.Add(paths.UserLog, record);
    }
};

// Light-barrier pulses (1 ms on, 1 ms off) through the watcher, the event thread, the UI loop and
// the capture's file work into time.txt. Captures are matched to pulses in order: each to the
// oldest pulse not yet captured, if that pulse has begun; one made before any such pulse has begun
// is a second capture of a pulse. A late capture is not a lost one: how late is a figure of its own.
void CtsPulses2ms() {
    TWatcherRig rig;
    if (!rig.pty.Ok()) return;
    auto& [pty, dir, paths, ui, cts, driver, port, records] = rig;
    const int pulses = 20000;
    std::vector<clk::time_point> began(pulses);
    std::atomic<int> begun{0};
    std::vector<clk::time_point> captured;
    captured.reserve(pulses + 100);
    port.OnCTSChange = [&](TCustomComPort&, bool on) {
        if (!on) return;
        captured.push_back(clk::now());
        rig.Capture(std::to_string(captured.size()), "09-12-2026");
    };
    port.OpenPort();
    WithUiLoop(ui, [&] {
        // Each phase lasts its millisecond at least, as a barrier's pulse does: a late wake-up of
        // this thread makes the next pulse late, never this one short.
        for (int i = 0; i < pulses; ++i) {
            began[i] = clk::now();
            begun = i + 1;
            cts.SetCts(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            cts.SetCts(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    port.ClosePort();
    int matched = 0, duplicated = 0;
    std::vector<double> late;
    for (clk::time_point c : captured) {
        if (matched < pulses && began[matched] <= c) late.push_back(Ms(c - began[matched++]));
        else ++duplicated;
    }
    records.WaitWritten(std::chrono::seconds(60));
    const auto written = std::filesystem::file_size(paths.TimeLog) / 35;
    bench::Figure("cts_pulses_2ms_lost", pulses - matched, "pulses");
    bench::Figure("cts_pulses_2ms_duplicated", duplicated, "pulses");
    bench::Figure("cts_pulses_2ms_records", static_cast<double>(written), "records");
    bench::Figure("cts_pulse_to_capture_p99_ms", bench::Percentile(late, 99), "ms");
    bench::Figure("cts_pulse_to_capture_max_ms", bench::Percentile(late, 100), "ms");
}

// Light-barrier pulses through the real Linux watcher, the event thread and the capture into
// time.txt: each record against the moment its pulse began (the barrier's clock on both sides of
// the edge), on an idle machine or a busy one. The figures' names end in `suffix`.
void CtsRecordError(bool loaded, const std::string& suffix) {
    TWatcherRig rig;
    if (!rig.pty.Ok()) return;
    auto& [pty, dir, paths, ui, cts, driver, port, records] = rig;
    port.OnCTSChange = [&](TCustomComPort& p, bool on) {
        if (!on) return;
        const app::TCaptureTexts texts = app::CaptureTextsAt(p.LineChangeTime(), ":");
        rig.Capture(texts.Time, texts.Date);
    };
    port.OpenPort();
    std::optional<bench::TBusyMachine> busy;
    if (loaded) busy.emplace(dir / "busy.bin");
    const int pulses = 1000;
    std::vector<std::pair<int64_t, int64_t>> made;
    WithUiLoop(ui, [&] {
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> gap(5, 15);
        for (int i = 0; i < pulses; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(gap(rng)));
            const int64_t before = bench::UnixUsNow();
            cts.SetCts(true);
            made.emplace_back(before, bench::UnixUsNow());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            cts.SetCts(false);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    busy.reset();
    port.ClosePort();
    records.WaitWritten(std::chrono::seconds(60));
    const std::vector<double> error = bench::RecordErrorsMs(made, testing_support::Slurp(paths.TimeLog));
    bench::Figure(("cts_record_error_p99_ms" + suffix).c_str(), bench::Percentile(error, 99), "ms");
    bench::Figure(("cts_record_error_max_ms" + suffix).c_str(), bench::Percentile(error, 100), "ms");
    bench::Figure(("cts_watcher_records_lost" + suffix).c_str(), pulses - static_cast<double>(error.size()), "records");
}

// A device pulled in the middle of a report: from the failing status read to the owner's lost-device
// handler on the UI loop, where the window closes the port and tells the user.
void UnplugToUserTold() {
    std::vector<double> lags;
    for (int round = 0; round < 30; ++round) {
        testing_support::TPty pty;
        if (!pty.Ok()) return;
        base::TCallQueue ui;
        testing_support::TScriptedLines cts;
        TPosixComDriver driver(cts.Ioctl());
        TComPort port(driver, ui);
        port.SetPort(pty.Path());
        std::atomic<bool> told{false};
        clk::time_point pulled;
        port.OnError = [&](TCustomComPort&, TComErrors e) {
            if (!(e & erIO)) return;
            lags.push_back(Ms(clk::now() - pulled));
            told = true;
        };
        port.OpenPort();
        WithUiLoop(ui, [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pulled = clk::now();
            cts.failGet = EIO;
            cts.SetCts(true);
            auto until = clk::now() + std::chrono::seconds(2);
            while (!told && clk::now() < until) std::this_thread::sleep_for(std::chrono::microseconds(100));
        });
        port.ClosePort();
    }
    bench::Figure("cts_unplug_to_user_told_p50_ms", bench::Percentile(lags, 50), "ms");
    bench::Figure("cts_unplug_to_user_told_max_ms", bench::Percentile(lags, 100), "ms");
}

// The same as an ordinary user: no real-time priority of its own (RLIMIT_RTPRIO 0) and no
// capabilities, in a child dropped to that user.
void CtsRecordErrorAsOrdinaryUser(const std::string& suffix) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const rlimit none{0, 0};
        if (setrlimit(RLIMIT_RTPRIO, &none) != 0 || setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(1);
        CtsRecordError(true, suffix);
        std::fflush(stdout);
        _exit(0);
    }
    if (child > 0) waitpid(child, nullptr, 0);
}

// An open port on a pty with nothing arriving: the event thread sleeps in its wait.
void IdleCpu() {
    testing_support::TPty pty;
    if (!pty.Ok()) return;
    base::TCallQueue ui;
    TPosixComDriver driver;
    TComPort port(driver, ui);
    port.SetPort(pty.Path());
    port.OpenPort();
    double cpu0 = bench::CpuSeconds();
    auto t0 = clk::now();
    WithUiLoop(ui, [] { std::this_thread::sleep_for(std::chrono::seconds(2)); });
    double pct = 100.0 * (bench::CpuSeconds() - cpu0) / (Ms(clk::now() - t0) / 1000.0);
    port.ClosePort();
    bench::Figure("event_thread_idle_cpu_pct", pct, "%");
}

}  // namespace

int main() {
    CtsLag();
    CtsLost();
    CtsPulses2ms();
    CtsRecordError(false, "");
    CtsRecordError(true, "_loaded");
    if (geteuid() == 0) {
        // As an ordinary user of a stock desktop: the serial threads ask the machine's real-time kit
        // where one runs; then as one whose desktop runs the kit (the real rtkit-daemon, started on
        // a bus of the benchmark's own).
        CtsRecordErrorAsOrdinaryUser("_loaded_user");
        testing_support::TPrivateRealtimeKit kit(TEMPIX_PRIVATE_KIT);
        if (!kit.Address().empty()) {
            const char* machineBus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
            const std::string kept = machineBus ? machineBus : "";
            setenv("DBUS_SYSTEM_BUS_ADDRESS", kit.Address().c_str(), 1);
            CtsRecordErrorAsOrdinaryUser("_loaded_user_kit");
            if (machineBus) setenv("DBUS_SYSTEM_BUS_ADDRESS", kept.c_str(), 1);
            else unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        } else {
            std::fprintf(stderr, "serial_bench: no real-time kit could be started here (rtkit-daemon)\n");
        }
    }
    UnplugToUserTold();
    IdleCpu();
}
