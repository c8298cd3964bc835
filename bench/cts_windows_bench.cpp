// A push-button's bouncing contact on CTS, through the Windows build's serial-port window under
// wine (run by scripts/bench through tests/wine/pty_com.py, whose pty is the COM port and whose
// preloaded line schedule is its CTS line). Each burst is on, off and on again, then off 100 ms
// later; the lockout is 20 ms and the window is busy 60 ms with each capture. A burst must give one
// record, stamped with the first edge's time. Bursts within 5 ms and within 15 ms: wine reads the
// lines about once a millisecond, but only some milliseconds after each wait is armed, so it sees
// the bounce of the slower one only; the figure of the bounces the lockout ignored says which it saw.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/Unit1.h"
#include "base/Clock.h"
#include "bench/BenchFigures.h"
#include "bench/WindowsBench.h"
#include "serial/Unit4.h"

int main(int argc, char** argv) {
    const char* com = std::getenv("TEMPIX_TEST_COM");
    const char* lines = std::getenv("TEMPIX_PTY_LINES");
    if (!com || !lines) {
        std::fprintf(stderr, "cts_windows_bench: run it through tests/wine/pty_com.py\n");
        return 1;
    }
    bench::TWindowsBench rig(argc, argv);
    if (!rig.Ok()) return 1;
    const testing_support::TTempDir& dir = rig.Dir;
    int status = 0;
    {
        rig.Services.ListPorts = [&] { return std::vector<std::string>{com}; };
        testing_support::Spit(dir / "usercom.dat", std::string(com) + "\r\n9600\r\n8\r\nNone\r\nNone\r\n1\r\n");
        testing_support::Spit(dir / "usercts.dat", "20\r\n");
        auto* form = new app::TForm1(rig.Services);
        form->Show();
        rig.RunFor(500);

        for (const int withinMs : {5, 15}) {
            std::filesystem::remove(dir / "time.txt");
            testing_support::Spit(lines, "");
            auto* portWindow = new serial::TForm4(form, *form);
            serial::TComLink busy;
            busy.OnCTSChange = [](serial::TCustomComPort&, bool on) {
                if (on) Sleep(60);
            };
            portWindow->ComPort1->AttachLink(&busy);
            portWindow->Show();
            rig.RunFor(200);
            portWindow->Button2Click();
            rig.RunFor(200);
            if (!portWindow->ComPort1->Connected()) {
                std::fprintf(stderr, "cts_windows_bench: %s did not open (%s)\n", com,
                             rig.Dialogs.Shown.empty() ? "" : rig.Dialogs.Shown.back().Text.c_str());
                status = 1;
                break;
            }
            // The whole schedule is written ahead: the edges come when it says, however busy the window.
            const int bursts = 40;
            const int64_t start = base::SystemClock().UnixUsNow() + 300000;
            std::vector<std::pair<int64_t, int64_t>> firstEdges;
            std::ostringstream schedule;
            for (int b = 0; b < bursts; ++b) {
                const int64_t t = start + 300000LL * b;
                schedule << t << " 1\n" << t + withinMs * 500 << " 0\n" << t + withinMs * 1000 << " 1\n" << t + 100000 << " 0\n";
                firstEdges.emplace_back(t, t);
            }
            testing_support::Spit(std::string(lines) + ".new", schedule.str());
            MoveFileExA((std::string(lines) + ".new").c_str(), lines, MOVEFILE_REPLACE_EXISTING);
            rig.RunFor(300 * bursts + 800);
            const int ignored = portWindow->Lockout().Ignored();
            portWindow->ComPort1->DetachLink(&busy);
            portWindow->Close();
            portWindow->Destroy();
            rig.RunFor(100);

            const std::string log = testing_support::Slurp(dir / "time.txt");
            const std::string name = "cts_bounce_" + std::to_string(withinMs) + "ms_";
            bench::Figure((name + "records_per_burst_windows").c_str(), static_cast<double>(log.size() / 35) / bursts,
                          "records");
            bench::Figure((name + "bounces_ignored_per_burst_windows").c_str(), static_cast<double>(ignored) / bursts,
                          "bounces");
            const std::vector<double> errors = bench::RecordErrorsMs(firstEdges, log);
            bench::Figure((name + "record_error_p99_ms_windows").c_str(), bench::Percentile(errors, 99), "ms");
            bench::Figure((name + "record_error_max_ms_windows").c_str(), bench::Percentile(errors, 100), "ms");
        }
        form->Destroy();
        rig.RunFor(100);
    }
    return status;
}
