// The whole SNTP exchange on a scripted socket stack and a fake clock: any datagrams, from the
// server or from anyone else, in any order. Only the server's own answer to this request may set
// the clock, and the setting is always the clock's reading plus the offset the window shows.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "base/ClockSim.h"
#include "fuzz/FuzzCheck.h"
#include "timesync/IdException.h"
#include "timesync/IdSNTP.h"

using namespace timesync;

namespace {

struct TDatagram {
    std::string Bytes;
    std::string From;
    int Port = 0;
    bool EchoRequest = false;  // bytes 24-31 carry the request's transmit timestamp
};

class TScriptedStack final : public TIdStack {
public:
    std::deque<TDatagram> Queue;
    std::string Sent;
    TDatagram LastTaken;
    bool Taken = false;

    int WSCloseSocket(TIdStackSocketHandle) override { return 0; }
    std::string WSGetHostByName(const std::string&) override {
        error_ = WSAHOST_NOT_FOUND;
        return "";
    }
    std::string WSGetHostName() override { return "pc"; }
    uint16_t WSHToNs(uint16_t v) override { return static_cast<uint16_t>(v >> 8 | v << 8); }
    uint16_t WSNToHs(uint16_t v) override { return static_cast<uint16_t>(v >> 8 | v << 8); }
    int WSRecvFrom(TIdStackSocketHandle, void* buf, int len, int, std::string& from, int& port) override {
        if (Queue.empty()) {
            error_ = 10035;
            return Id_SOCKET_ERROR;
        }
        TDatagram d = Queue.front();
        Queue.pop_front();
        if (d.EchoRequest && d.Bytes.size() >= 32 && Sent.size() == 48) d.Bytes.replace(24, 8, Sent.substr(40, 8));
        LastTaken = d;
        Taken = true;
        from = d.From;
        port = d.Port;
        std::memcpy(buf, d.Bytes.data(), std::min<size_t>(d.Bytes.size(), static_cast<size_t>(len)));
        if (d.Bytes.size() > static_cast<size_t>(len)) {
            error_ = WSAEMSGSIZE;
            return Id_SOCKET_ERROR;
        }
        return static_cast<int>(d.Bytes.size());
    }
    int WSSelectRead(TIdStackSocketHandle, const long*, const long*) override { return Queue.empty() ? 0 : 1; }
    int WSSendTo(TIdStackSocketHandle, const void* buf, int len, int, const TIdInAddr&, int) override {
        Sent.assign(static_cast<const char*>(buf), static_cast<size_t>(len));
        return len;
    }
    int WSSetSockOpt(TIdStackSocketHandle, int, int, const void*, int) override { return 0; }
    TIdStackSocketHandle WSSocket(int, int) override { return 3; }
    int WSShutdown(TIdStackSocketHandle, int) override { return 0; }
    int WSGetLastError() override { return error_; }

private:
    int error_ = 0;
};

class TInput {
public:
    TInput(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool Empty() const { return p_ == end_; }
    uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
    std::string Bytes(size_t n) {
        n = std::min(n, static_cast<size_t>(end_ - p_));
        std::string s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TInput in(data, size);
    TScriptedStack* stack = nullptr;
    SetStackFactory([&stack] { return stack = new TScriptedStack(); });

    base::TFakeClock clock;
    clock.UtcMs = 1796652309000LL + (int64_t{in.Byte()} << 16 | int64_t{in.Byte()} << 8 | in.Byte());
    clock.LocalBias = (static_cast<int>(in.Byte()) % 105 - 56) * 15;  // -14 h .. +12 h
    clock.Zone.Result = base::TTimeZoneInformation::Standard;
    clock.Zone.Bias = clock.LocalBias;
    const int64_t localNowMs = clock.UtcMs - clock.LocalBias * 60000LL;
    const uint32_t random = in.Byte();

    TIdSNTP sntp(clock);
    sntp.Random = [random] { return random; };
    const bool shortForm = in.Byte() & 1;
    sntp.SetHost(shortForm ? "127.1" : "127.0.0.1");
    sntp.SetPort(123);
    sntp.SetReceiveTimeout(2500);
    // Datagrams: a flags byte (from the server's address, from its port, echoing the request), a
    // length byte, then that many bytes.
    while (!in.Empty() && stack) {
        uint8_t flags = in.Byte();
        TDatagram d;
        d.From = flags & 1 ? "127.0.0.1" : "10.9.8.7";
        d.Port = flags & 2 ? 123 : 124;
        d.EchoRequest = flags & 4;
        d.Bytes = in.Bytes(in.Byte());
        stack->Queue.push_back(d);
    }

    bool set = false;
    bool raised = false;
    try {
        sntp.SetActive(true);
        set = sntp.SynchroniseClock();
    } catch (const EIdSocketError& e) {
        raised = true;
        // Only the server itself can end the exchange with an error: a datagram too long for it.
        FUZZ_CHECK(e.LastError == WSAEMSGSIZE);
        FUZZ_CHECK(stack->LastTaken.From == "127.0.0.1" && stack->LastTaken.Port == 123);
        FUZZ_CHECK(stack->LastTaken.Bytes.size() > 48);
    }
    sntp.SetActive(false);

    if (set) {
        // The reply that set the clock is the server's answer to this very request.
        const TDatagram& r = stack->LastTaken;
        FUZZ_CHECK(stack->Taken && r.From == "127.0.0.1" && r.Port == 123 && r.Bytes.size() == 48);
        FUZZ_CHECK(r.Bytes.compare(24, 8, stack->Sent, 40, 8) == 0);
        FUZZ_CHECK(clock.Settings.size() == 1);
        const double expected = static_cast<double>(localNowMs) + sntp.ClockOffset * 86400000.0;
        const double setting = static_cast<double>(base::UnixMsFromSystemTime(clock.Settings[0]));
        FUZZ_CHECK(std::fabs(setting - expected) <= 1.5);
        FUZZ_CHECK(fuzz::ValidUtf8(sntp.ReferenceSource));
    } else {
        FUZZ_CHECK(clock.Settings.empty());
    }
    if (std::getenv("FUZZ_VERBOSE")) std::fprintf(stderr, "set %d raised %d offset %.3f s\n", set, raised, sntp.ClockOffset * 86400);
    (void)raised;
    SetStackFactory(nullptr);
    return 0;
}
