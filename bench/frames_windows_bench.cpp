// The live display's frames in the Windows build (run under wine by scripts/bench): how often the
// window really refreshes its time, shown, under a native message box and minimised, and what that
// costs in CPU. Wine's timers are not Windows' own, so these figures say how the frame binding
// behaves, not what a Windows PC will show.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/timer.h>

#include "app/Dialogs.h"
#include "app/Unit1.h"
#include "bench/BenchFigures.h"

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

// Runs the UI loop for the given time.
void RunFor(wxGUIEventLoop& loop, int milliseconds) {
    wxTimer stop;
    stop.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { loop.Exit(); });
    stop.StartOnce(milliseconds);
    loop.Run();
}

}  // namespace

int main(int argc, char** argv) {
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv)) return 1;
    wxTheApp->CallOnInit();
    app::RunCallQueueOnUiLoop();

    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("tempix-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator activate(&loop);
        app::TRecordingDialogs dialogs;
        app::TServices services = app::SystemServices();
        services.Dialogs = &dialogs;
        services.ExeDir = dir.string() + "\\";  // the data files' names are put after it
        auto* form = new app::TForm1(services);
        form->Show();
        RunFor(loop, 1000);

        const int ms = 10000;
        long frames0 = form->FrameCount();
        double cpu0 = CpuSeconds();
        auto t0 = steady_clock::now();
        RunFor(loop, ms);
        double secs = duration<double>(steady_clock::now() - t0).count();
        bench::Figure("live_frames_per_s_windows", static_cast<double>(form->FrameCount() - frames0) / secs, "frames/s");
        bench::Figure("clock_cpu_pct_windows", 100.0 * (CpuSeconds() - cpu0) / secs, "%");
        // Minimised: no frame at all.
        form->Iconize(true);
        RunFor(loop, 500);
        frames0 = form->FrameCount();
        cpu0 = CpuSeconds();
        t0 = steady_clock::now();
        RunFor(loop, 5000);
        secs = duration<double>(steady_clock::now() - t0).count();
        bench::Figure("live_frames_per_s_windows_minimised", static_cast<double>(form->FrameCount() - frames0) / secs, "frames/s");
        bench::Figure("clock_cpu_pct_windows_minimised", 100.0 * (CpuSeconds() - cpu0) / secs, "%");
        form->Iconize(false);
        RunFor(loop, 500);

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
        RunFor(loop, 100);
    }
    wxEntryCleanup();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
