#include "timesync/IdSNTP.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>

#include "base/AnsiCodePage.h"

#include "timesync/IdException.h"

namespace timesync {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr uint32_t kSubMicrosecondMask = 0xFFF;  // 4095 / 2^32 s < 1 us

uint32_t ReadWord(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void PutWord(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

}  // namespace

uint32_t SwapBytes32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

TNtpTimestamp LocalTimeToNtp(double localTime, double utcBiasDays) {
    double v = (localTime + utcBiasDays - 2.0) * kSecondsPerDay;  // seconds since 1900-01-01 UTC
    // Beyond 2^62 seconds (or not a number at all) there is no timestamp to give.
    if (!(std::fabs(v) < 4.6e18)) throw std::out_of_range("LocalTimeToNtp: time out of range");
    // A day count carries about a microsecond of rounding noise: without this, a whole second
    // could read as the end of the one before.
    v = std::round(v * 1e6) / 1e6;
    double whole = std::floor(v);
    TNtpTimestamp ts;
    ts.Seconds = static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(whole)) & 0xFFFFFFFFu);
    ts.Fraction = static_cast<uint32_t>(static_cast<uint64_t>((v - whole) * NtpScale) & 0xFFFFFFFFu);
    return ts;
}

double NtpToLocalTime(uint32_t seconds, uint32_t fraction, double utcBiasDays) {
    double f = std::trunc(static_cast<double>(fraction) / NtpScale * 1000.0) / 1000.0;
    double s = static_cast<double>(seconds);
    if ((seconds & 0x80000000u) == 0) s += 4294967296.0;  // RFC 4330 section 3
    return (s + f) / kSecondsPerDay - utcBiasDays + 2.0;
}

double UtcBias(base::TClock& clock) {
    base::TTimeZoneInformation tzi = clock.TimeZone();
    std::optional<int> bias = base::BiasInForce(tzi);
    if (!bias) throw EIdException(tzi.ErrorText);
    return *bias / 1440.0;
}

namespace {

bool SettableTime(double localTime) {
    return std::isfinite(localTime) && localTime >= 2.0 && localTime <= 2958465.0;  // years 1900..9999
}

}  // namespace

bool SetLocalClock(base::TClock& clock, double localTime) {
    if (!SettableTime(localTime)) return false;
    return clock.SetLocalTime(base::SystemTimeFromDayCount(localTime));
}

TIdSNTP::TIdSNTP(base::TClock& clock) : clock_(clock) {
    SetPort(123);
    std::random_device rd;
    Random = [gen = std::mt19937(rd())]() mutable { return static_cast<uint32_t>(gen()); };
}

double TIdSNTP::LocalNow() { return base::DayCountFromSystemTime(clock_.LocalNow()); }

bool TIdSNTP::ReplyIsUnusable(const std::array<uint8_t, 48>& p) {
    int leap = p[0] >> 6;
    Stratum = p[1];
    if (Stratum == 1) {
        // Four characters of the code page, whatever the bytes: a label shows them as text.
        ReferenceSource = base::AnsiToUtf8(std::string(reinterpret_cast<const char*>(&p[12]), 4));
    } else if (Stratum > 1) {
        ReferenceSource = std::to_string(p[12]) + "." + std::to_string(p[13]) + "." + std::to_string(p[14]) + "." +
                          std::to_string(p[15]);
    }
    bool unusable = leap == 3 || (ReadWord(&p[40]) == 0 && ReadWord(&p[44]) == 0);
    if (RejectBadStratum && (Stratum == 0 || Stratum > 15)) unusable = true;
    return unusable;
}

double TIdSNTP::QueryServerTime() {
    std::array<uint8_t, 48> request{};
    request[0] = 0x1B;
    TNtpTimestamp sent = LocalTimeToNtp(LocalNow(), UtcBias(clock_));
    // Random bits below a microsecond make the echoed originate timestamp a proof that the reply
    // answers this request.
    sent.Fraction = (sent.Fraction & ~kSubMicrosecondMask) | (Random() & kSubMicrosecondMask);
    PutWord(&request[40], sent.Seconds);
    PutWord(&request[44], sent.Fraction);
    BufferSize = 48;
    // Resolved once, in its canonical dotted form ("127.1" is 127.0.0.1): the reply must come from
    // the very address the request went to.
    const std::string server = TIdStack::TranslateTInAddrToString(TIdStack::TranslateStringToTInAddr(GStack()->ResolveAddress(Host())));
    SocketHandle().SendPacket(server, Port(), std::string(reinterpret_cast<const char*>(request.data()), request.size()));

    // Take only the server's answer to this request; anything else is dropped and the wait goes on
    // until the same deadline.
    using Clock = std::chrono::steady_clock;
    const bool forever = ReceiveTimeout() == -2;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : ReceiveTimeout());
    std::array<uint8_t, 48> p{};
    for (;;) {
        int wait = -2;
        if (!forever) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return 0;
            wait = static_cast<int>(left);
        }
        TIdSocketHandle& socket = SocketHandle();
        if (!socket.WaitReadable(wait)) return 0;
        int n = socket.ReceivePacket(p.data(), static_cast<int>(p.size()), 0);
        const bool fromServer = socket.PeerIP() == server && socket.PeerPort() == Port();
        // Whoever can reach the port may send anything: only the server's own datagrams can end
        // the exchange, a too long one of its included (10040).
        if (n == Id_SOCKET_ERROR && (fromServer || GStack()->WSGetLastError() != WSAEMSGSIZE)) GStack()->CheckResult(n);
        if (!fromServer || n < 48) continue;
        if (ReadWord(&p[24]) != sent.Seconds || ReadWord(&p[28]) != sent.Fraction) continue;
        break;
    }

    DestinationTime = LocalNow();
    double bias = UtcBias(clock_);
    OriginateTime = NtpToLocalTime(ReadWord(&p[24]), ReadWord(&p[28]), bias);
    ReceiveTime = NtpToLocalTime(ReadWord(&p[32]), ReadWord(&p[36]), bias);
    TransmitTime = NtpToLocalTime(ReadWord(&p[40]), ReadWord(&p[44]), bias);
    RoundTrip = (DestinationTime - OriginateTime) - (ReceiveTime - TransmitTime);
    ClockOffset = ((ReceiveTime - OriginateTime) + (TransmitTime - DestinationTime)) / 2;
    if (ReplyIsUnusable(p)) return 0;
    return TransmitTime;
}

bool TIdSNTP::SynchroniseClock() {
    Refusal.reset();
    if (QueryServerTime() == 0) return false;
    // The offset applies to the clock as it reads at the moment it is set.
    double target = LocalNow() + ClockOffset;
    if (!SettableTime(target)) return false;
    if (SetLocalClock(clock_, target)) return true;
    // Refused (no right to set the clock): the system's time service may move it by the offset.
    if (clock_.SetTimeRelative(std::llround(ClockOffset * 86400e6))) return true;
    Refusal = clock_.LastRefusal();
    return false;
}

}  // namespace timesync
