// The main window under Xvfb: tick rate and its CPU cost, start-up, memory, the capture routine,
// and the lag from an injected key, click or CTS pulse to the recorded time.
#include <chrono>
#include <random>
#include <thread>

#include "app/Unit1.h"
#include "app/Unit3.h"
#include "app/UserLocale.h"
#include "base/ExeDir.h"
#include "bench/BenchUtil.h"
#include "serial/ComDriverSim.h"
#include "serial/Unit4.h"
#include "tests/GuiTest.h"
#include "tests/TestDir.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>

#include <gtk/gtk.h>

using namespace std::chrono;

namespace {

int64_t UtcMsNow() { return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count(); }

// Milliseconds of the day from "hh:nn:ss,zzz UT".
int64_t MsOfDay(const std::string& t) {
    return std::stoll(t.substr(0, 2)) * 3600000 + std::stoll(t.substr(3, 2)) * 60000 + std::stoll(t.substr(6, 2)) * 1000 +
           std::stoll(t.substr(9, 3));
}

// The lag of each record of time.txt behind the moment its trigger was sent.
std::vector<double> RecordLags(const std::vector<int64_t>& sent, const std::string& log) {
    std::vector<double> lag;
    for (size_t i = 0; i < sent.size() && (i + 1) * 35 <= log.size(); ++i) {
        int64_t d = MsOfDay(log.substr(i * 35 + 3, 15)) - sent[i] % 86400000;
        if (d > 43200000) d -= 86400000;
        if (d < -43200000) d += 86400000;
        lag.push_back(static_cast<double>(std::llabs(d)));
    }
    return lag;
}

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
    serial::TSimComDriver ports;
    serial::TSimLine& line = ports.Line("COM1");
    services.ComDriver = &ports;
    services.ListPorts = [] { return std::vector<std::string>{"COM1"}; };
    auto* form = new app::TForm1(services);
    form->Show();
    gui_test::PumpUntil([&] { return form->TickCount() > 0; });
    bench::Figure("startup_to_first_tick_ms", duration<double, std::milli>(steady_clock::now() - processStart).count(), "ms");

    gui_test::PumpUntil([&] { return form->IsActive(); });
    form->FocusKeyChoice();
    gui_test::PumpFor(200);

    // Ticks and the gaps between them, 10 s in the real window.
    std::vector<steady_clock::time_point> tickTimes;
    auto stamp = [&](wxTimerEvent& e) {
        tickTimes.push_back(steady_clock::now());
        e.Skip();
    };
    form->Bind(wxEVT_TIMER, stamp);
    long ticks0 = form->TickCount();
    double cpu0 = bench::CpuSeconds();
    auto t0 = steady_clock::now();
    gui_test::PumpFor(10000);
    double secs = duration<double>(steady_clock::now() - t0).count();
    form->Unbind(wxEVT_TIMER, stamp);
    bench::Figure("tick_rate_hz", static_cast<double>(form->TickCount() - ticks0) / secs, "Hz");
    bench::Figure("tick_cpu_pct", 100.0 * (bench::CpuSeconds() - cpu0) / secs, "%");
    std::vector<double> gaps;
    for (size_t i = 1; i < tickTimes.size(); ++i)
        gaps.push_back(duration<double, std::milli>(tickTimes[i] - tickTimes[i - 1]).count());
    bench::Figure("tick_interval_p99_ms", bench::Percentile(gaps, 99), "ms");
    bench::Figure("rss_mb", bench::RssMb(), "MB");

    // The same under a modal box: its own loop must keep the ticks coming.
    {
        wxDialog box(form, wxID_ANY, "Komunikat");
        new wxButton(&box, wxID_OK, "OK");
        wxTimer closer;
        closer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { box.EndModal(wxID_OK); });
        closer.StartOnce(5000);
        long before = form->TickCount();
        auto start = steady_clock::now();
        box.ShowModal();
        bench::Figure("tick_rate_hz_modal",
                      static_cast<double>(form->TickCount() - before) / duration<double>(steady_clock::now() - start).count(), "Hz");
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

    // Keys typed from another connection at the given gaps: the lag of each record behind its key,
    // and the time the main window's frames take meanwhile.
    std::vector<double> frames;
    auto keyLags = [&](const std::vector<int>& gapsMs) {
        std::filesystem::remove(dir / "time.txt");
        std::vector<int64_t> sent;
        std::atomic<bool> done{false};
        std::thread typist([&] {
            gui_test::TKeyInjector injector;
            for (int gap : gapsMs) {
                std::this_thread::sleep_for(milliseconds(gap));
                sent.push_back(UtcMsNow());
                injector.Tap("Return");
            }
            done = true;
        });
        gui_test::PumpUntil([&] { return done.load() && testing_support::Slurp(dir / "time.txt").size() >= gapsMs.size() * 35u; },
                            120000);
        typist.join();
        std::string log = testing_support::Slurp(dir / "time.txt");
        bench::Figure(gapsMs.size() == 200 ? "key_records_lost" : "key_pair_records_lost",
                      static_cast<double>(static_cast<long>(gapsMs.size()) - static_cast<long>(log.size() / 35)), "records");
        return RecordLags(sent, log);
    };
    std::mt19937 rng(42);
    std::vector<int> gaps15to60;
    for (int i = 0; i < 200; ++i) gaps15to60.push_back(std::uniform_int_distribution<int>(15, 60)(rng));
    std::vector<double> lag;
    {
        TFrameTimes frameTimes(form, frames);
        lag = keyLags(gaps15to60);
    }
    bench::Figure("key_to_record_lag_p50_ms", bench::Percentile(lag, 50), "ms");
    bench::Figure("key_to_record_lag_p90_ms", bench::Percentile(lag, 90), "ms");
    bench::Figure("key_to_record_lag_p99_ms", bench::Percentile(lag, 99), "ms");
    bench::Figure("key_to_record_lag_max_ms", bench::Percentile(lag, 100), "ms");
    bench::Figure("frame_time_p99_ms", bench::Percentile(frames, 99), "ms");
    // Pairs of presses 100-400 ms apart, the pairs a second apart.
    std::vector<int> pairs;
    for (int i = 0; i < 40; ++i) pairs.push_back(1000), pairs.push_back(std::uniform_int_distribution<int>(100, 400)(rng));
    lag = keyLags(pairs);
    bench::Figure("key_pairs_400ms_lag_p99_ms", bench::Percentile(lag, 99), "ms");
    std::vector<int64_t> sent;
    std::atomic<bool> done{false};
    std::string log;

    // Mouse mode: left clicks in the lock window against the recorded time.
    std::filesystem::remove(dir / "time.txt");
    auto* lock = new app::TForm3(form, *form);
    lock->Show();
    gui_test::PumpFor(300);
    sent.clear();
    done = false;
    const int clicks = 150;
    std::thread clicker([&] {
        gui_test::TKeyInjector injector;
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> gap(600, 800);  // past the double-click time
        for (int i = 0; i < clicks; ++i) {
            std::this_thread::sleep_for(milliseconds(i == 0 ? 100 : gap(rng) / 10));
            sent.push_back(UtcMsNow());
            injector.ClickLeft();
            std::this_thread::sleep_for(milliseconds(500));
        }
        done = true;
    });
    gui_test::PumpUntil([&] { return done.load(); }, 200000);
    clicker.join();
    gui_test::PumpFor(100);
    log = testing_support::Slurp(dir / "time.txt");
    lag = RecordLags(sent, log);
    bench::Figure("click_to_record_lag_p99_ms", bench::Percentile(lag, 99), "ms");
    bench::Figure("click_records_lost", static_cast<double>(clicks - static_cast<int>(log.size() / 35)), "records");
    lock->Close();
    lock->Destroy();
    gui_test::PumpFor(100);

    // The serial-port window: CTS pulses on a simulated port against the recorded time.
    std::filesystem::remove(dir / "time.txt");
    auto* portWindow = new serial::TForm4(form, *form);
    portWindow->Show();
    gui_test::PumpFor(200);
    gui_test::ClickButton(portWindow->Button2);
    sent.clear();
    done = false;
    const int pulses = 300;
    std::thread barrier([&] {
        std::mt19937 rng(3);
        std::uniform_int_distribution<int> gap(10, 30);
        for (int i = 0; i < pulses; ++i) {
            std::this_thread::sleep_for(milliseconds(gap(rng)));
            sent.push_back(UtcMsNow());
            line.SetCTS(true);
            std::this_thread::sleep_for(milliseconds(10));
            line.SetCTS(false);
        }
        done = true;
    });
    gui_test::PumpUntil([&] { return done.load(); }, 60000);
    barrier.join();
    gui_test::PumpFor(100);
    log = testing_support::Slurp(dir / "time.txt");
    lag = RecordLags(sent, log);
    bench::Figure("cts_to_record_lag_p50_ms", bench::Percentile(lag, 50), "ms");
    bench::Figure("cts_to_record_lag_p99_ms", bench::Percentile(lag, 99), "ms");
    bench::Figure("cts_records_lost", static_cast<double>(pulses - static_cast<int>(log.size() / 35)), "records");
    portWindow->Close();
    portWindow->Destroy();

    form->Destroy();
    gui_test::PumpFor(50);
    return 0;
}
