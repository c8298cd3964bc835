// Each USB serial adapter family, emulated (run under umockdev-wrapper): 2 ms light-barrier pulses
// through the real Linux driver as it reads that family's lines, each "on" timed against the moment
// its pulse began. Tempix's side only: the USB delay of a real adapter comes on top.
#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchUtil.h"
#include "serial/CPort.h"
#include "serial/ComDriverPosix.h"
#include "tests/serial/UmockdevAdapters.h"

using namespace serial;
using namespace testing_support;

namespace {

void Family(const TFamily& f, const char* name) {
    TEmulatedAdapter adapter(f);
    if (!adapter.Ok()) return;
    TScriptedLines lines;
    TEmulatedAdapter::Profile(f, lines);
    base::TCallQueue ui;
    TPosixComDriver driver(lines.Ioctl());
    TComPort port(driver, ui);
    port.SetPort(adapter.Node());
    std::vector<int64_t> seen;  // the times of the reported "on"s
    port.OnCTSChange = [&](TCustomComPort& p, bool on) {
        if (on) seen.push_back(p.LineChangeTime());
    };
    port.OpenPort();
    const int pulses = 500;
    std::vector<int64_t> began;
    std::atomic<bool> done{false};
    std::thread barrier([&] {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> gap(3, 8);
        for (int i = 0; i < pulses; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(gap(rng)));
            began.push_back(bench::UnixUsNow());
            lines.SetCts(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lines.SetCts(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        done = true;
        ui.Notify();
    });
    ui.RunUntil([&] { return done.load(); });
    barrier.join();
    port.ClosePort();
    // Each report to the latest pulse begun by its time; a pulse no report falls to is lost.
    std::vector<double> error;
    size_t next = 0;
    int lost = 0;
    for (int64_t t : seen) {
        while (next + 1 < began.size() && began[next + 1] <= t) ++next, ++lost;
        if (next < began.size() && began[next] <= t + 1000) error.push_back((t - began[next++]) / 1000.0);
    }
    lost += static_cast<int>(began.size() - next);
    bench::Figure(("cts_record_error_p99_ms_" + std::string(name)).c_str(), bench::Percentile(error, 99), "ms");
    bench::Figure(("cts_pulses_lost_" + std::string(name)).c_str(), lost, "pulses");
}

}  // namespace

int main() {
    if (!UnderUmockdev()) return 0;
    const char* names[] = {"ftdi", "pl2303", "ch341", "cp210x"};
    for (size_t i = 0; i < 4; ++i) Family(kFamilies[i], names[i]);
}
