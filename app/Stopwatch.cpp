#include "app/Stopwatch.h"

#include <algorithm>

#include "base/AnsiCodePage.h"
#include "base/TextFile.h"

namespace app {

TDataPaths TDataPaths::Build(const std::string& exeDir) {
    TDataPaths p;
    p.ExeDir = exeDir;
    p.TimeLog = exeDir + "time.txt";
    p.ServerList = exeDir + "sndata.txt";
    p.CorrectionsLog = exeDir + "dtime.txt";
    p.DisplaySettings = exeDir + "userfont.dat";
    p.HelpFile = exeDir + "TEMPIX.HLP";
    p.PortSettings = exeDir + "usercom.dat";
    p.UserLog = exeDir + "temp.txt";
    p.LockoutSettings = exeDir + "usercts.dat";
    return p;
}

TFolders FindFolders(const std::string& exeDir, const std::string& userDir) {
    TFolders f{exeDir, exeDir + "locale", exeDir};
    const bool systemLayout =
        !base::FileExists(exeDir + "help/index.html") && base::FileExists(exeDir + "../share/tempix/help/index.html");
    if (systemLayout) {
        f.Program = exeDir + "../share/tempix/";
        f.Catalogues = exeDir + "../share/locale";
    }
    if (userDir.empty()) return f;
    const bool installed = systemLayout || base::FileExists(exeDir + "Uninstall.exe");
    if (!installed && base::FolderWritable(exeDir)) return f;
    try {
        base::MakeDirectories(userDir);
        if (!base::FileExists(userDir + "sndata.txt") && base::FileExists(f.Program + "sndata.txt"))
            base::RewriteFile(userDir + "sndata.txt", base::ReadWholeFile(f.Program + "sndata.txt"));
        f.Files = userDir;
    } catch (const base::EInOutError&) {
        // No folder of the user's to be had: beside the executable, where each write says why it fails.
    }
    return f;
}

int CaptureKeyCode(int keyIndex) {
    switch (keyIndex) {
    case 0: return VK_RETURN;
    case 1: return VK_PAUSE;
    case 2: return VK_INSERT;
    case 3: return VK_ESCAPE;
    default: return 0;
    }
}

TCaptureTexts CaptureTextsAt(TTriggerTime when, const std::string& timeSep) {
    const int64_t ms = when / 1000 - (when % 1000 < 0);  // cut, also before 1970
    const base::TSystemTime t = base::SystemTimeFromUnixMs(ms);
    return {base::LiveTimeText(t, timeSep), base::DateText(t)};
}

std::optional<int64_t> StampAgeUs(uint32_t stampMs, int64_t monoNowUs) {
    if (stampMs == 0 || monoNowUs < 0) return std::nullopt;
    const int64_t nowMs = monoNowUs / 1000;
    const auto behindMs = static_cast<int32_t>(static_cast<uint32_t>(nowMs) - stampMs);
    if (behindMs < 0 || behindMs > 1000) return std::nullopt;
    return std::max<int64_t>(monoNowUs - (nowMs - behindMs) * 1000 - 500, 0);
}

std::string CaptureRecord(const std::string& timeText, const std::string& dateText) {
    // The field widths count characters of the code page, so pad after converting.
    return base::PadLeft(base::Utf8ToAnsi(timeText), 18) + base::PadLeft(base::Utf8ToAnsi(dateText), 15) + "\r\n";
}

void TMainClock::Tick() {
    base::TSystemTime utc = clock_.UtcNow();
    texts_.DateText = base::DateText(utc);
    texts_.LiveText = base::LiveTimeText(utc, fs_.TimeSeparator);
    texts_.AppTitle = base::AppTitleText(clock_.LocalNow(), fs_.TimeSeparator);
    base::TTimeZoneInformation tzi = clock_.TimeZone();
    std::optional<int> bias = base::BiasInForce(tzi);
    if (!bias) {
        if (zoneFailing_) return;
        zoneFailing_ = true;
        throw ETimeZoneError(tzi.ErrorText.empty() ? "Time zone information unavailable" : tzi.ErrorText);
    }
    zoneFailing_ = false;
    texts_.Caption = texts_.AppTitle + " " + base::GmtOffsetText(*bias, fs_.TimeSeparator);
}

}  // namespace app
