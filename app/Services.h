// What the windows ask of the system, gathered so that tests can hand in their own.
#pragma once

#include <exception>
#include <string>

#include "app/Dialogs.h"
#include "app/Stopwatch.h"
#include "base/Clock.h"
#include "base/Cursor.h"
#include "base/Format.h"
#include "base/Shell.h"
#include "base/StayAwake.h"
#include "serial/PortSelect.h"

namespace app {

struct TServices {
    base::TClock* Clock = nullptr;
    base::TShell* Shell = nullptr;
    base::THelp* Help = nullptr;
    TDialogs* Dialogs = nullptr;
    base::TCursor* Cursor = nullptr;
    base::TStayAwake* StayAwake = nullptr;
    serial::TComDriver* ComDriver = nullptr;
    serial::TPortLister ListPorts;
    std::string ExeDir;   // the program's own files (the help book); the data files too, unless FilesDir
    std::string FilesDir;  // where the data files live, when not in ExeDir
    std::string DataDir;  // the user's own folder for the program (kept records); "" for none
    base::TFormatSettings Format;
};

TServices SystemServices();

// Serial event threads hand their calls over to the UI thread: wake the wx loop to run them.
void RunCallQueueOnUiLoop();
base::TCursor& SystemCursor();
// Picks the display connection where the cursor can be confined; before the toolkit starts.
void ChooseDisplayBackend();

// The application title (the taskbar text), shown as the caption of the standard error report.
std::string& ApplicationTitle();

// Opens the help book's contents (no topic) or a topic; a missing book is said in a box.
void ShowHelp(TServices& services, const std::string& helpFile, const std::string& topic = "");

// The standard error report: the text with the full-stop rule, the application title as caption.
void ReportError(TDialogs& dialogs, const std::exception& e);
// The same for an error of any type ("Unknown exception" when it carries no text).
void ReportError(TDialogs& dialogs, const std::exception_ptr& error);

// Runs a handler's body; an error of any type that leaves it is shown by the standard error report.
// Returns false when it did.
template <class F>
bool Guarded(TDialogs& dialogs, F&& body) {
    try {
        body();
        return true;
    } catch (...) {
        ReportError(dialogs, std::current_exception());
        return false;
    }
}

}  // namespace app
