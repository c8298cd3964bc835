// A scripted SNTP peer on 127.0.0.1: for each request it runs a script that may answer from its own
// port or from another one, late, twice, or not at all.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "tests/timesync/LoopbackUdp.h"

namespace testing_support {

class TUdpResponder {
public:
    using TSend = std::function<void(const std::string& bytes, bool fromOtherPort)>;
    using TScript = std::function<void(const std::string& request, const TSend& send)>;

    explicit TUdpResponder(TScript script) : script_(std::move(script)) {
        fd_ = BindLoopbackUdp();
        other_ = BindLoopbackUdp();
        port_ = LocalPort(fd_);
        thread_ = std::thread([this] { Run(); });
    }
    ~TUdpResponder() {
        stop_ = true;
        thread_.join();
        close(fd_);
        close(other_);
    }
    int Port() const { return port_; }
    int Requests() const { return requests_; }

    // A reply to `request`: T1 echoed from its transmit timestamp, T2 and T3 the request's transmit
    // time moved by `offsetSeconds`.
    static std::string Reply(const std::string& request, double offsetSeconds, int stratum = 2, int leap = 0,
                             std::array<uint8_t, 4> refId = {1, 2, 3, 4}) {
        std::string r(48, '\0');
        r[0] = static_cast<char>(leap << 6 | 4 << 3 | 4);
        r[1] = static_cast<char>(stratum);
        for (int i = 0; i < 4; ++i) r[12 + i] = static_cast<char>(refId[static_cast<size_t>(i)]);
        r.replace(24, 8, request.substr(40, 8));
        uint64_t t = Word(request, 40) << 32 | Word(request, 44);
        uint64_t moved = t + static_cast<uint64_t>(static_cast<int64_t>(offsetSeconds * 4294967296.0));
        PutWord(r, 32, static_cast<uint32_t>(moved >> 32));
        PutWord(r, 36, static_cast<uint32_t>(moved));
        PutWord(r, 40, static_cast<uint32_t>(moved >> 32));
        PutWord(r, 44, static_cast<uint32_t>(moved));
        return r;
    }
    static uint64_t Word(const std::string& s, size_t at) {
        return uint64_t(uint8_t(s[at])) << 24 | uint64_t(uint8_t(s[at + 1])) << 16 | uint64_t(uint8_t(s[at + 2])) << 8 |
               uint64_t(uint8_t(s[at + 3]));
    }
    static void PutWord(std::string& s, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (24 - 8 * i));
    }

private:
    void Run() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buf[512];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n <= 0) continue;
            ++requests_;
            script_(std::string(buf, static_cast<size_t>(n)), [&](const std::string& bytes, bool other) {
                sendto(other ? other_ : fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
            });
        }
    }

    TScript script_;
    int fd_ = -1, other_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

}  // namespace testing_support
