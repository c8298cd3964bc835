// Program start: the application title starts empty, the main window is the only window created.
#include <wx/app.h>

#include "app/InputTime.h"
#include "app/Unit1.h"
#include "app/UserLocale.h"
#include "base/ExeDir.h"

namespace {

class TTempixApp : public wxApp {
public:
    bool Initialize(int& argc, wxChar** argv) override {
        app::ChooseDisplayBackend();
        return wxApp::Initialize(argc, argv);
    }

    bool OnInit() override {
        app::ApplicationTitle().clear();
        app::UseUserLocale(app::FindFolders(base::ExecutableDirectory(), "").Catalogues);
        app::RunCallQueueOnUiLoop();
        app::WatchInputMessages();
        auto* form = new app::TForm1(app::SystemServices());
        form->Show();
        return true;
    }

    bool OnExceptionInMainLoop() override {
        app::ReportError(app::SystemDialogs(), std::current_exception());
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP(TTempixApp);
