// What the secondary windows may use of the main window.
#pragma once

#include <string>

#include "app/Services.h"
#include "app/Stopwatch.h"

namespace app {

class TMainWindowLink {
public:
    virtual ~TMainWindowLink() = default;
    // The capture routine: shows the trigger's time in the stopped-time display and hands one
    // record of it to each log's queue. A log that cannot be written is reported by the main window;
    // its records wait and are written later.
    virtual void CaptureRoutine(TTriggerTime when) = 0;
    virtual const TDataPaths& Paths() const = 0;
    virtual std::string StoppedText() const = 0;
    virtual void FocusKeyChoice() = 0;
    virtual TServices& Services() = 0;
};

}  // namespace app
