#include "timesync/ServerList.h"

#include <cmath>

#include "base/AnsiCodePage.h"
#include "base/TextFile.h"

namespace timesync {

std::vector<TServerRow> ParseServerList(const std::string& bytes) {
    std::vector<TServerRow> rows(1);
    size_t end = bytes.find('\x1A');
    std::string text = bytes.substr(0, end);
    size_t pos = 0;
    while (pos < text.size()) {
        // One line, lone CRs dropped.
        std::string line;
        while (pos < text.size() && text[pos] != '\n') {
            if (text[pos] != '\r') line += text[pos];
            ++pos;
        }
        if (pos < text.size()) ++pos;  // the LF
        TServerRow r{base::AnsiToUtf8(line.substr(0, 50)), base::AnsiToUtf8(line.size() > 50 ? line.substr(50, 25) : "")};
        if (rows.size() == 1 && rows[0].Name.empty() && rows[0].Address.empty()) rows[0] = r;
        else rows.push_back(r);
    }
    return rows;
}

std::string ConnectionText(const std::string& host, const std::string& pcName) {
    return "Połączenie: " + host + " <===> " + pcName + " ";
}

std::string CorrectionText(double offsetSeconds, const base::TSystemTime& t, const base::TFormatSettings& fs) {
    std::string date = base::DateText(t);  // "(dd-mm-yyyy)"
    date.pop_back();
    std::string time = base::AppTitleText(t, fs.TimeSeparator);
    time = time.substr(0, time.find(' '));
    return "Poprawka: " + base::FormatFixed(offsetSeconds, 3, fs.DecimalSeparator) + " s " + date + " / " + time + ")";
}

std::string RefusalText(base::TClockRefusal why, double offsetSeconds, const base::TFormatSettings& fs) {
    switch (why) {
    case base::TClockRefusal::AutomaticSync:
        return "System sam synchronizuje zegar tego komputera (automatyczna synchronizacja czasu jest włączona). "
               "Zmierzona różnica względem serwera: " +
               std::string(offsetSeconds < 0 ? "-" : "+") + base::FormatFixed(std::fabs(offsetSeconds), 3, fs.DecimalSeparator) +
               " s.";
    case base::TClockRefusal::NoPrivilege:
        return "Do ustawienia zegara potrzebne są uprawnienia administratora: uruchom program jako administrator.";
    case base::TClockRefusal::NotAuthorized:
        return "System odmówił uprawnień do ustawienia zegara.";
    case base::TClockRefusal::NoService:
        return "Na tym systemie zegara nie można ustawić z tego programu.";
    case base::TClockRefusal::Refused: break;
    }
    return "";
}

std::string StratumText(int stratum, const std::string& referenceSource) {
    return "Serwer: STRATUM " + std::to_string(stratum) + ", źródło czasu serwera: " +
           referenceSource.substr(0, referenceSource.find('\0'));
}

std::string CorrectionLogLine(const std::string& correctionText, const std::string& address, bool newFile) {
    return base::PadRight(base::Utf8ToAnsi(correctionText), 50) + (newFile ? "Serwer " : "Serwer: ") +
           base::Utf8ToAnsi(address) + "\r\n";
}

void AppendCorrection(const std::string& path, const std::string& correctionText, const std::string& address) {
    base::AppendToFile(path, CorrectionLogLine(correctionText, address, !base::FileExists(path)));
}

}  // namespace timesync
