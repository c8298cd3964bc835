// The time-server window's data without the window: the server list file, the result texts and the
// corrections log line.
#pragma once

#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/DateTime.h"
#include "base/Format.h"

namespace timesync {

struct TServerRow {
    std::string Name;     // UTF-8, padding kept
    std::string Address;  // UTF-8, trailing blanks kept
};

// sndata.txt (cp1250): per line up to 50 characters of name, up to 25 of address, the rest skipped.
// CR LF or LF end a line, a lone CR is dropped, character 26 ends the file. The grid starts with one
// empty row, which the first record fills; so leading empty lines vanish.
std::vector<TServerRow> ParseServerList(const std::string& ansiBytes);

inline constexpr const char* kConnectionLabel = "Połączenie: Serwer czasu <===> Twój PC";
inline constexpr const char* kCorrectionLabel = "Poprawka: 0,000 s (dd-MM-rrrr / hh:mm:ss)";
inline constexpr const char* kStratumLabel = "Serwer: STRATUM 0, źródło czasu serwera: 0.0.0.0";

std::string ConnectionText(const std::string& host, const std::string& pcName);
// "Poprawka: %0.3f s (dd-mm-yyyy / hh:nn:ss)"
std::string CorrectionText(double offsetSeconds, const base::TSystemTime& localNow, const base::TFormatSettings& fs);
// The reference source as a label shows it: up to its first zero character.
std::string StratumText(int stratum, const std::string& referenceSource);

// The line under the failure message when the server answered but the clock was not set: why, and
// what the user can do; with automatic synchronisation, the measured difference in the labels'
// form ("+0,004 s"). Empty for a refusal not told apart.
std::string RefusalText(base::TClockRefusal why, double offsetSeconds, const base::TFormatSettings& fs);

// One dtime.txt line in the ANSI code page: "%-50sSerwer: %s" CR LF, or "%-50sSerwer %s" CR LF as the
// first line of a new file.
std::string CorrectionLogLine(const std::string& correctionText, const std::string& address, bool newFile);
// Appends the line, choosing the form by whether the file exists; raises base::EInOutError.
void AppendCorrection(const std::string& path, const std::string& correctionText, const std::string& address);

// The address box's rule: no blank anywhere.
inline bool AddressHasBlank(const std::string& address) { return address.find(' ') != std::string::npos; }

}  // namespace timesync
