// The main window under Xvfb: the live display's frames and the age of their text, start-up, memory,
// the capture routine, and the error of the time recorded for an injected key or click, on an idle
// and on a busy machine.
#include <chrono>
#include <cmath>
#include <optional>
#include <random>
#include <thread>

#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/UserLocale.h"
#include "base/ExeDir.h"
#include "bench/BenchUtil.h"
#include "serial/ComDriverPosix.h"
#include "serial/ComDriverSim.h"
#include "serial/Unit4.h"
#include "tests/GuiTest.h"
#include "tests/TestDir.h"
#include "tests/serial/Pty.h"
#include "tests/serial/ScriptedLines.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>

#include <gtk/gtk.h>

using namespace std::chrono;

namespace {

// How long each frame of a window takes to paint, from its GDK frame clock.
class TFrameTimes {
public:
    TFrameTimes(wxWindow* window, std::vector<double>& out) : out_(out) {
        clock_ = gtk_widget_get_frame_clock(window->GetHandle());
        if (!clock_) return;
        before_ = g_signal_connect(clock_, "before-paint", G_CALLBACK(+[](GdkFrameClock*, gpointer self) {
                                       static_cast<TFrameTimes*>(self)->start_ = steady_clock::now();
                                   }), this);
        after_ = g_signal_connect(clock_, "after-paint", G_CALLBACK(+[](GdkFrameClock*, gpointer self) {
                                      auto* me = static_cast<TFrameTimes*>(self);
                                      me->out_.push_back(duration<double, std::milli>(steady_clock::now() - me->start_).count());
                                  }), this);
    }
    ~TFrameTimes() {
        if (!clock_) return;
        g_signal_handler_disconnect(clock_, before_);
        g_signal_handler_disconnect(clock_, after_);
    }

private:
    std::vector<double>& out_;
    GdkFrameClock* clock_ = nullptr;
    gulong before_ = 0, after_ = 0;
    steady_clock::time_point start_;
};

// The age of the live text at the end of each paint of the window: from the start of the frame's
// refresh (the clock is read first thing there) to the frame clock's after-paint.
class TLiveTextAge {
public:
    TLiveTextAge(app::TForm1* form, std::vector<double>& out) : form_(form), out_(out) {
        // A frame's refresh reads the clock first thing; its handler takes microseconds.
        form_->Bind(wxEVT_TIMER, &TLiveTextAge::OnFrame, this);
        clock_ = gtk_widget_get_frame_clock(form->GetHandle());
        if (clock_)
            after_ = g_signal_connect(clock_, "after-paint", G_CALLBACK(+[](GdkFrameClock*, gpointer self) {
                                          auto* me = static_cast<TLiveTextAge*>(self);
                                          if (!me->read_) return;
                                          me->out_.push_back(duration<double, std::milli>(steady_clock::now() - *me->read_).count());
                                          me->read_.reset();
                                      }), this);
    }
    ~TLiveTextAge() {
        form_->Unbind(wxEVT_TIMER, &TLiveTextAge::OnFrame, this);
        if (clock_) g_signal_handler_disconnect(clock_, after_);
    }

private:
    void OnFrame(wxTimerEvent& e) {
        read_ = steady_clock::now();
        e.Skip();
    }

    app::TForm1* form_;
    std::vector<double>& out_;
    GdkFrameClock* clock_ = nullptr;
    gulong after_ = 0;
    std::optional<steady_clock::time_point> read_;
};

// The longest gap between two frames of the main window's live display while it lives.
class TFrameGaps {
public:
    explicit TFrameGaps(app::TForm1* form) : form_(form) { form_->Bind(wxEVT_TIMER, &TFrameGaps::OnFrame, this); }
    ~TFrameGaps() { form_->Unbind(wxEVT_TIMER, &TFrameGaps::OnFrame, this); }
    double MaxMs() const { return maxMs_; }

private:
    void OnFrame(wxTimerEvent& e) {
        const auto now = steady_clock::now();
        if (last_) maxMs_ = std::max(maxMs_, duration<double, std::milli>(now - *last_).count());
        last_ = now;
        e.Skip();
    }

    app::TForm1* form_;
    std::optional<steady_clock::time_point> last_;
    double maxMs_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    auto processStart = steady_clock::now();
    if (!gui_test::StartToolkit(argc, argv)) return 1;
    app::UseUserLocale(base::ExecutableDirectory() + "../bin/locale");  // as the program starts
    wxGUIEventLoop loop;
    wxEventLoopActivator activate(&loop);

    testing_support::TTempDir dir;
    app::TRecordingDialogs dialogs;
    app::TServices services = app::SystemServices();
    services.Dialogs = &dialogs;
    services.Cursor = &app::SystemCursor();
    services.ExeDir = dir.Path();
    services.FilesDir.clear();  // the data files in the test folder, not beside the benchmark
    services.DataDir = dir / "data/";
    base::TRecordingStayAwake awake;  // the machine's own session and system buses are left alone
    services.StayAwake = &awake;
    serial::TSimComDriver ports;
    serial::TSimLine& line = ports.Line("COM1");
    services.ComDriver = &ports;
    services.ListPorts = [] { return std::vector<std::string>{"COM1"}; };
    auto* form = new app::TForm1(services);
    form->Show();
    gui_test::PumpUntil([&] { return form->FrameCount() > 0; });
    bench::Figure("startup_to_first_frame_ms", duration<double, std::milli>(steady_clock::now() - processStart).count(), "ms");

    gui_test::PumpUntil([&] { return form->IsActive(); });
    form->FocusKeyChoice();
    gui_test::PumpFor(200);

    // Frames of the live display, 10 s in the real window: how many, and how old each frame's text
    // is when its paint ends (from the clock read for it to the frame clock's after-paint).
    std::vector<double> ages;
    {
        TLiveTextAge age(form, ages);
        long frames0 = form->FrameCount();
        auto t0 = steady_clock::now();
        gui_test::PumpFor(10000);
        bench::Figure("live_frames_per_s",
                      static_cast<double>(form->FrameCount() - frames0) / duration<double>(steady_clock::now() - t0).count(),
                      "frames/s");
    }
    bench::Figure("live_text_age_p99_ms", bench::Percentile(ages, 99), "ms");
    // The same span is what a frame of the clock costs the program: its handler, layout and paint.
    bench::Figure("clock_frame_cost_us_p50", 1000 * bench::Percentile(ages, 50), "us");
    bench::Figure("rss_mb", bench::RssMb(), "MB");

    // The same under a modal box: its own loop must keep the frames coming.
    {
        wxDialog box(form, wxID_ANY, "Komunikat");
        new wxButton(&box, wxID_OK, "OK");
        wxTimer closer;
        closer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { box.EndModal(wxID_OK); });
        closer.StartOnce(5000);
        long before = form->FrameCount();
        auto start = steady_clock::now();
        box.ShowModal();
        bench::Figure("live_frames_per_s_modal",
                      static_cast<double>(form->FrameCount() - before) / duration<double>(steady_clock::now() - start).count(),
                      "frames/s");
    }
    form->FocusKeyChoice();
    gui_test::PumpFor(200);

    std::vector<double> us;
    for (int i = 0; i < 2000; ++i) {
        auto a = steady_clock::now();
        form->CaptureRoutine(base::SystemClock().UnixUsNow());
        us.push_back(duration<double, std::micro>(steady_clock::now() - a).count());
    }
    bench::Figure("capture_routine_median_us", bench::Percentile(us, 50), "us");
    bench::Figure("capture_routine_p99_us", bench::Percentile(us, 99), "us");
    form->Records().WaitWritten(seconds(60));

    // From a trigger's time to its record flushed to this machine's disk, in both logs.
    us.clear();
    for (int i = 0; i < 200; ++i) {
        const int64_t trigger = bench::UnixUsNow();
        form->CaptureRoutine(trigger);
        form->Records().WaitWritten(seconds(10));
        us.push_back(static_cast<double>(bench::UnixUsNow() - trigger) / 1000);
        gui_test::PumpFor(10);
    }
    bench::Figure("capture_to_disk_ms_p50", bench::Percentile(us, 50), "ms");
    bench::Figure("capture_to_disk_ms_p99", bench::Percentile(us, 99), "ms");

    // 100 captures in a second, their records flushed meanwhile: the longest gap between two frames.
    {
        TFrameGaps gaps(form);
        wxTimer captures;
        int made = 0;
        captures.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            if (made++ < 100) form->CaptureRoutine(bench::UnixUsNow());
        });
        captures.Start(10);
        gui_test::PumpUntil([&] { return made >= 100; }, 10000);
        captures.Stop();
        gui_test::PumpFor(100);
        bench::Figure("frame_gap_max_ms_during_captures", gaps.MaxMs(), "ms");
    }
    form->Records().WaitWritten(seconds(60));

    // A time log that cannot be written for 3 s (a folder in its place) while a capture comes every
    // 50 ms: the records of both logs that are not there once it can be written again.
    {
        std::filesystem::remove(dir / "time.txt");
        std::filesystem::remove(dir / "temp.txt");
        int made = 0;
        const auto start = steady_clock::now();
        bool blocked = false, freed = false;
        while (steady_clock::now() - start < seconds(5)) {
            const auto at = steady_clock::now() - start;
            if (!blocked && at > seconds(1)) {
                form->Records().WaitWritten(seconds(10));
                std::filesystem::rename(dir / "time.txt", dir / "time.kept");
                std::filesystem::create_directory(dir / "time.txt");
                blocked = true;
            }
            if (blocked && !freed && at > seconds(4)) {
                std::filesystem::remove(dir / "time.txt");
                std::filesystem::rename(dir / "time.kept", dir / "time.txt");
                freed = true;
            }
            form->CaptureRoutine(bench::UnixUsNow());
            ++made;
            gui_test::PumpFor(50);
        }
        form->Records().WaitWritten(seconds(10));
        const auto written = (testing_support::Slurp(dir / "time.txt").size() + testing_support::Slurp(dir / "temp.txt").size()) / 35;
        bench::Figure("records_lost_fault_episode", 2.0 * made - static_cast<double>(written), "records");
        dialogs.Shown.clear();
    }

    // Keys typed from another connection at the given gaps: each record against the moment its key
    // was pressed (the typist's clock on both sides of the press), and the time the main window's
    // frames take meanwhile.
    std::vector<double> frames;
    std::string log;
    auto keyErrors = [&](const std::vector<int>& gapsMs, const char* lostName) {
        form->Records().WaitWritten(seconds(60));
        std::filesystem::remove(dir / "time.txt");
        std::vector<std::pair<int64_t, int64_t>> made;
        std::atomic<bool> done{false};
        std::thread typist([&] {
            gui_test::TKeyInjector injector;
            for (int gap : gapsMs) {
                std::this_thread::sleep_for(milliseconds(gap));
                const int64_t before = bench::UnixUsNow();
                injector.Tap("Return");
                made.emplace_back(before, bench::UnixUsNow());
            }
            done = true;
        });
        gui_test::PumpUntil([&] { return done.load() && testing_support::Slurp(dir / "time.txt").size() >= gapsMs.size() * 35u; },
                            120000);
        typist.join();
        log = testing_support::Slurp(dir / "time.txt");
        bench::Figure(lostName, static_cast<double>(static_cast<long>(gapsMs.size()) - static_cast<long>(log.size() / 35)),
                      "records");
        return bench::RecordErrorsMs(made, log);
    };
    std::mt19937 rng(42);
    std::vector<int> gaps15to60;
    for (int i = 0; i < 200; ++i) gaps15to60.push_back(std::uniform_int_distribution<int>(15, 60)(rng));
    std::vector<double> error;
    {
        TFrameTimes frameTimes(form, frames);
        error = keyErrors(gaps15to60, "key_records_lost");
    }
    bench::Figure("key_record_error_p99_ms", bench::Percentile(error, 99), "ms");
    bench::Figure("key_record_error_max_ms", bench::Percentile(error, 100), "ms");
    bench::Figure("frame_time_p99_ms", bench::Percentile(frames, 99), "ms");
    // Pairs of presses 100-400 ms apart, the pairs a second apart.
    std::vector<int> pairs;
    for (int i = 0; i < 40; ++i) pairs.push_back(1000), pairs.push_back(std::uniform_int_distribution<int>(100, 400)(rng));
    keyErrors(pairs, "key_pair_records_lost");
    {
        bench::TBusyMachine busy(dir / "busy.bin");
        error = keyErrors(gaps15to60, "key_records_lost_loaded");
    }
    bench::Figure("key_record_error_p99_ms_loaded", bench::Percentile(error, 99), "ms");
    bench::Figure("key_record_error_max_ms_loaded", bench::Percentile(error, 100), "ms");

    // Mouse mode: left clicks in the lock window against the moment of their release. They fall
    // by turns on two spots of the panel, too far apart for a double click.
    auto* lock = new app::TForm3(form, *form);
    lock->Show();
    gui_test::PumpFor(300);
    const wxRect panel(lock->Panel1->ClientToScreen(wxPoint(0, 0)), lock->Panel1->GetSize());
    auto clickErrors = [&](int clicks, const char* lostName) {
        form->Records().WaitWritten(seconds(60));
        std::filesystem::remove(dir / "time.txt");
        std::vector<std::pair<int64_t, int64_t>> made;
        std::atomic<bool> done{false};
        std::thread clicker([&] {
            gui_test::TKeyInjector injector;
            std::mt19937 rng(7);
            std::uniform_int_distribution<int> gap(40, 80);
            for (int i = 0; i < clicks; ++i) {
                injector.MoveTo(panel.x + panel.width / 2 + (i % 2 ? 30 : -30), panel.y + panel.height / 2);
                std::this_thread::sleep_for(milliseconds(gap(rng)));
                const int64_t before = bench::UnixUsNow();
                injector.ClickLeft();
                made.emplace_back(before, bench::UnixUsNow());
            }
            done = true;
        });
        gui_test::PumpUntil([&] { return done.load() && testing_support::Slurp(dir / "time.txt").size() >= clicks * 35u; },
                            60000);
        clicker.join();
        log = testing_support::Slurp(dir / "time.txt");
        bench::Figure(lostName, static_cast<double>(clicks - static_cast<int>(log.size() / 35)), "records");
        return bench::RecordErrorsMs(made, log);
    };
    error = clickErrors(200, "click_records_lost");
    bench::Figure("click_record_error_p99_ms", bench::Percentile(error, 99), "ms");
    bench::Figure("click_record_error_max_ms", bench::Percentile(error, 100), "ms");
    {
        bench::TBusyMachine busy(dir / "busy.bin");
        error = clickErrors(200, "click_records_lost_loaded");
    }
    bench::Figure("click_record_error_p99_ms_loaded", bench::Percentile(error, 99), "ms");
    bench::Figure("click_record_error_max_ms_loaded", bench::Percentile(error, 100), "ms");
    lock->Close();
    lock->Destroy();
    gui_test::PumpFor(100);

    // The serial-port window: CTS pulses of 10 ms on a simulated port that keeps each change as the
    // Windows driver's watcher does, each one record, with the window busy 30 ms for each capture
    // (a handler that sleeps). Ten runs; the records lost in all of them.
    line.KeepChanges = true;
    std::atomic<bool> done{false};
    int lost = 0, runsWithLoss = 0;
    for (int run = 0; run < 10; ++run) {
        form->Records().WaitWritten(seconds(60));
        std::filesystem::remove(dir / "time.txt");
        auto* portWindow = new serial::TForm4(form, *form);
        serial::TComLink busy;
        busy.OnCTSChange = [](serial::TCustomComPort&, bool on) {
            if (on) std::this_thread::sleep_for(milliseconds(30));
        };
        portWindow->ComPort1->AttachLink(&busy);
        portWindow->Show();
        gui_test::PumpFor(200);
        gui_test::ClickButton(portWindow->Button2);
        done = false;
        const int pulses = 300;
        std::thread barrier([&] {
            std::mt19937 rng(3 + run);
            std::uniform_int_distribution<int> gap(10, 30);
            for (int i = 0; i < pulses; ++i) {
                std::this_thread::sleep_for(milliseconds(gap(rng)));
                line.SetCTS(true);
                std::this_thread::sleep_for(milliseconds(10));
                line.SetCTS(false);
            }
            done = true;
        });
        gui_test::PumpUntil([&] { return done.load(); }, 60000);
        barrier.join();
        gui_test::PumpUntil([&] { return testing_support::Slurp(dir / "time.txt").size() >= pulses * 35u; }, 20000);
        log = testing_support::Slurp(dir / "time.txt");
        const int missing = pulses - static_cast<int>(log.size() / 35);
        lost += missing;
        runsWithLoss += missing != 0;
        portWindow->ComPort1->DetachLink(&busy);
        portWindow->Close();
        portWindow->Destroy();
        gui_test::PumpFor(50);
    }
    line.KeepChanges = false;
    bench::Figure("cts_records_lost", lost, "records");
    bench::Figure("cts_runs_with_records_lost", runsWithLoss, "runs");

    // A light barrier broken by one runner after another: bursts of 5 pulses, 1 ms on and 19 ms
    // off, 300 ms apart, through the real Linux watcher (its line calls scripted), the serial-port
    // window's handler and the capture into time.txt, with the lockout at 100 ms and at 0.
    testing_support::TPty pty;
    if (pty.Ok()) {
        for (const std::string lockout : {"100", "0"}) {
            testing_support::TScriptedLines cts;
            serial::TPosixComDriver watcher(cts.Ioctl());
            form->Services().ComDriver = &watcher;
            form->Services().ListPorts = [&] { return std::vector<std::string>{pty.Path()}; };
            testing_support::Spit(dir / "usercom.dat", pty.Path() + "\r\n9600\r\n8\r\nHardware\r\nNone\r\n1\r\n");
            testing_support::Spit(dir / "usercts.dat", lockout + "\r\n");
            form->Records().WaitWritten(seconds(60));
            std::filesystem::remove(dir / "time.txt");
            auto* barrierWindow = new serial::TForm4(form, *form);
            barrierWindow->Show();
            gui_test::PumpFor(100);
            gui_test::ClickButton(barrierWindow->Button2);
            const int bursts = 200;
            std::vector<std::pair<int64_t, int64_t>> onEdges;  // each on-edge, bracketed by the runner's clock
            done = false;
            std::thread runners([&] {
                auto start = steady_clock::now() + milliseconds(100);
                for (int b = 0; b < bursts; ++b) {
                    std::this_thread::sleep_until(start + milliseconds(300 * b));
                    for (int p = 0; p < 5; ++p) {
                        const int64_t before = bench::UnixUsNow();
                        cts.SetCts(true);
                        onEdges.emplace_back(before, bench::UnixUsNow());
                        std::this_thread::sleep_for(milliseconds(1));
                        cts.SetCts(false);
                        std::this_thread::sleep_for(milliseconds(19));
                    }
                }
                done = true;
            });
            gui_test::PumpUntil([&] { return done.load(); }, 120000);
            runners.join();
            gui_test::PumpFor(200);
            barrierWindow->Close();
            barrierWindow->Destroy();
            gui_test::PumpFor(50);
            form->Records().WaitWritten(seconds(60));
            log = testing_support::Slurp(dir / "time.txt");
            bench::Figure(("cts_lockout_" + lockout + "ms_records_per_burst").c_str(),
                          static_cast<double>(log.size() / 35) / bursts, "records");
            // The edges the lockout must let through, by the times they were made: a runner's
            // thread held up for long within a burst makes an edge that is rightly a record of its own.
            const int64_t lockoutUs = std::stoll(lockout) * 1000;
            std::vector<std::pair<int64_t, int64_t>> due;
            for (const auto& edge : onEdges)
                if (due.empty() || edge.first - due.back().first >= lockoutUs) due.push_back(edge);
            bench::Figure(("cts_lockout_" + lockout + "ms_records_off_rule").c_str(),
                          std::abs(static_cast<double>(log.size() / 35) - static_cast<double>(due.size())), "records");
            if (lockout == "100")
                bench::Figure("cts_lockout_first_edge_error_max_ms",
                              bench::Percentile(bench::RecordErrorsMs(due, log), 100), "ms");
        }
    }

    form->Destroy();
    gui_test::PumpFor(50);
    return 0;
}
