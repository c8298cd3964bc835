// The main window's logic without the window: data file paths, the tick's texts, capture records.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "base/Clock.h"
#include "base/Format.h"

namespace app {

// Every data file lies beside the executable.
struct TDataPaths {
    std::string ExeDir;
    std::string TimeLog;          // time.txt
    std::string ServerList;       // sndata.txt
    std::string CorrectionsLog;   // dtime.txt
    std::string DisplaySettings;  // userfont.dat
    std::string HelpFile;         // TEMPIX.HLP
    std::string PortSettings;     // usercom.dat
    std::string UserLog;          // temp.txt until the user picks another file
    std::string LockoutSettings;  // usercts.dat

    static TDataPaths Build(const std::string& exeDir);
};

// Where the program's files are. The program's own (help, the sample server list, catalogues) lie
// beside the executable, or where the system installs them (/usr/bin/tempix with /usr/share/tempix).
// The data files lie beside the executable where its folder can be written (a portable package, a
// build), else in the user's own folder: an installed program (under /usr, or under Program Files
// with its uninstaller beside it) or a read-only medium. That folder is made at first use, with a
// copy of the sample server list.
struct TFolders {
    std::string Program;  // with the help book and sndata.txt
    std::string Catalogues;
    std::string Files;    // the data files
};
TFolders FindFolders(const std::string& exeDir, const std::string& userDir);

inline constexpr const char* kInitialTimeText = "00:00:00,000 UT";

// Windows virtual-key codes the main window looks at.
// Where the Windows headers are in, these are their macros, of the same values.
#ifndef VK_RETURN
inline constexpr int VK_RETURN = 0x0D;
#endif
#ifndef VK_PAUSE
inline constexpr int VK_PAUSE = 0x13;
#endif
#ifndef VK_ESCAPE
inline constexpr int VK_ESCAPE = 0x1B;
#endif
#ifndef VK_INSERT
inline constexpr int VK_INSERT = 0x2D;
#endif
#ifndef VK_F1
inline constexpr int VK_F1 = 0x70;
#endif
#ifndef VK_F9
inline constexpr int VK_F9 = 0x78;
#endif

// The capture key of the active-key choice: Enter, Pause, Insert, Esc; 0 (no key) for any other index.
int CaptureKeyCode(int keyIndex);

// When a trigger happened: microseconds since 1970-01-01 00:00 UTC on the PC clock.
using TTriggerTime = int64_t;

// What a capture at a trigger's moment shows and records: "hh:nn:ss,zzz UT" and "(dd-mm-yyyy)",
// both of that moment, cut to the millisecond.
struct TCaptureTexts {
    std::string Time, Date;
};
TCaptureTexts CaptureTextsAt(TTriggerTime when, const std::string& timeSep);

// How old an input event is, from its own stamp: the display server's milliseconds on the monotonic
// clock, in 32 bits that wrap. The stamp counts whole milliseconds, so the event is placed in the
// middle of its millisecond. Nothing when the stamp cannot be trusted: zero, ahead of now, or more
// than a second old.
std::optional<int64_t> StampAgeUs(uint32_t stampMs, int64_t monoNowUs);

// One capture record: "%18s%15s" + CR LF, in the ANSI code page.
std::string CaptureRecord(const std::string& timeText, const std::string& dateText);

// Raised once when the time-zone information cannot be read; the text is the system's message.
class ETimeZoneError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a timer tick shows.
struct TTickTexts {
    std::string LiveText = kInitialTimeText;
    std::string DateText;  // empty until the first tick
    std::string AppTitle;
    std::string Caption;
};

class TMainClock {
public:
    TMainClock(base::TClock& clock, base::TFormatSettings fs) : clock_(clock), fs_(std::move(fs)) {}

    // Reads the clocks and refreshes the texts. When the time-zone information fails the caption
    // keeps its last text; the failure is raised on the first failing tick only, and again after
    // the information has been readable in between.
    void Tick();

    const TTickTexts& Texts() const { return texts_; }
    const base::TFormatSettings& FormatSettings() const { return fs_; }

private:
    base::TClock& clock_;
    base::TFormatSettings fs_;
    TTickTexts texts_;
    bool zoneFailing_ = false;
};

}  // namespace app
