// The lockout after a capture from the CTS line: a light barrier broken by an arm, a leg and the
// other arm, or a push-button's bouncing contacts, give one record. Edges are judged by their own
// times, so the first edge of a burst is the record and a late report changes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace serial {

// The lengths the serial-port window offers, in milliseconds; "0" is no lockout.
const std::vector<std::string>& CtsLockoutItems();

// usercts.dat: one line, the chosen item's text, CR LF. Whatever names no item reads as "0".
std::string CtsLockoutOfBytes(const std::string& bytes);
std::string CtsLockoutBytes(const std::string& item);
// Never raises: a missing or unreadable file is "0".
std::string ReadCtsLockout(const std::string& path);
// Replaces the file whole; raises base::EInOutError.
void WriteCtsLockout(const std::string& path, const std::string& item);

class TCtsLockout {
public:
    void SetMs(int ms) { ms_ = ms; }
    int Ms() const { return ms_; }
    // A port just opened: no capture yet to lock out after, nothing ignored.
    void Restart();
    // Whether a CTS on-edge at `edgeMonoUs` (µs on the monotonic clock, which no setting of the
    // wall clock moves) captures: not when it comes less than the lockout after the last edge that
    // did. One that does not is counted.
    bool Take(int64_t edgeMonoUs);
    int Ignored() const { return ignored_; }

private:
    int ms_ = 0;
    std::optional<int64_t> lastUs_;
    int ignored_ = 0;
};

}  // namespace serial
