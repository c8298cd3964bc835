// "&Synchronizuj" pressed in the time-server window until its labels show the result, against a
// local chronyd; the clock setting is recorded, never done.
#include <chrono>

#include "app/Unit1.h"
#include "base/ClockSim.h"
#include "bench/BenchUtil.h"
#include "tests/GuiTest.h"
#include "tests/TestDir.h"
#include "tests/timesync/ChronyServer.h"
#include "tests/timesync/LoopbackStack.h"
#include "timesync/Unit2.h"

#include <wx/evtloop.h>

int main(int argc, char** argv) {
    if (!gui_test::StartToolkit(argc, argv)) return 1;
    wxGUIEventLoop loop;
    wxEventLoopActivator activate(&loop);
    testing_support::UseLoopbackStack();
    testing_support::TChronyServer server;
    if (!server.Ready()) return 1;

    testing_support::TTempDir dir;
    base::TRecordingSetterClock clock;
    app::TRecordingDialogs dialogs;
    app::TServices services = app::SystemServices();
    services.Clock = &clock;
    services.Dialogs = &dialogs;
    services.ExeDir = dir.Path();
    services.FilesDir.clear();  // the data files in the test folder, not beside the benchmark
    services.DataDir = dir / "data/";
    auto* main = new app::TForm1(services);
    auto* form = new timesync::TForm2(main, *main);
    form->Show();
    form->IdSNTP1->SetPort(server.Port());
    form->LabeledEdit1->SetValue("127.0.0.1");
    gui_test::PumpFor(100);
    std::vector<double> ms;
    for (int i = 0; i < 50; ++i) {
        auto a = std::chrono::steady_clock::now();
        gui_test::ClickButton(form->Button2);
        gui_test::PumpUntil([&] { return form->Label1->IsEnabled(); });
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
    }
    bench::Figure("sync_click_to_result_ms", bench::Percentile(ms, 50), "ms");
    form->Destroy();
    main->Destroy();
    gui_test::PumpFor(20);
    return 0;
}
