// The live display's frames in the Windows build (run under wine by scripts/bench): how often the
// window really refreshes its time, shown, under a native message box and minimised, and what that
// costs in CPU. Wine's timers are not Windows' own, so these figures say how the frame binding
// behaves, not what a Windows PC will show.
#include <windows.h>

#include <chrono>
#include <thread>

#include "app/Unit1.h"
#include "bench/BenchFigures.h"
#include "bench/WindowsBench.h"

using namespace std::chrono;

namespace {

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

}  // namespace

int main(int argc, char** argv) {
    bench::TWindowsBench rig(argc, argv);
    if (!rig.Ok()) return 1;
    {
        auto* form = new app::TForm1(rig.Services);
        form->Show();
        rig.RunFor(1000);

        const int ms = 10000;
        long frames0 = form->FrameCount();
        double cpu0 = CpuSeconds();
        auto t0 = steady_clock::now();
        rig.RunFor(ms);
        double secs = duration<double>(steady_clock::now() - t0).count();
        bench::Figure("live_frames_per_s_windows", static_cast<double>(form->FrameCount() - frames0) / secs, "frames/s");
        bench::Figure("clock_cpu_pct_windows", 100.0 * (CpuSeconds() - cpu0) / secs, "%");
        // Minimised: no frame at all.
        form->Iconize(true);
        rig.RunFor(500);
        frames0 = form->FrameCount();
        cpu0 = CpuSeconds();
        t0 = steady_clock::now();
        rig.RunFor(5000);
        secs = duration<double>(steady_clock::now() - t0).count();
        bench::Figure("live_frames_per_s_windows_minimised", static_cast<double>(form->FrameCount() - frames0) / secs, "frames/s");
        bench::Figure("clock_cpu_pct_windows_minimised", 100.0 * (CpuSeconds() - cpu0) / secs, "%");
        form->Iconize(false);
        rig.RunFor(500);

        // Under a native message box, which runs its own loop: closed from another thread after 5 s.
        std::thread closer([] {
            Sleep(5000);
            for (int i = 0; i < 200; ++i, Sleep(50))
                if (HWND box = FindWindowW(L"#32770", L"Pomiar")) {
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                    return;
                }
        });
        long before = form->FrameCount();
        auto start = steady_clock::now();
        MessageBoxW(static_cast<HWND>(form->GetHWND()), L"Zegar pod oknem komunikatu", L"Pomiar", MB_OK | MB_ICONINFORMATION);
        closer.join();
        bench::Figure("live_frames_per_s_windows_under_box",
                      static_cast<double>(form->FrameCount() - before) / duration<double>(steady_clock::now() - start).count(),
                      "frames/s");
        form->Destroy();
        rig.RunFor(100);
    }
    return 0;
}
