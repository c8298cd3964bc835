// The socket stack on BSD sockets. Failures are kept as the Windows sockets code of the same
// failure, per thread, so that messages and codes read the same on every platform.
#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>

#include "timesync/IdStackPosix.h"

namespace timesync {

namespace {

thread_local int tLastError = 0;

// errno -> Windows sockets code (WSAE* = 10000 + the BSD number on Windows' own numbering).
int WsaFromErrno(int e) {
    switch (e) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES:
    case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE:
    case ENFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default: return 10000 + e;
    }
}

int Fail() {
    tLastError = WsaFromErrno(errno);
    return Id_SOCKET_ERROR;
}

}  // namespace

int TIdStackPosix::LookupIPv4(const std::string& name, TIdInAddr& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* res = nullptr;
    int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &res);
    if (rc != 0) return rc;
    if (!res) return EAI_NONAME;
    std::memcpy(address.data(), &reinterpret_cast<const sockaddr_in*>(res->ai_addr)->sin_addr, 4);
    ::freeaddrinfo(res);
    return 0;
}

int WsaFromLookupError(int rc) {
    // EAI_AGAIN is Windows' "try again" (11002); every other miss is "host not found".
    return rc == EAI_AGAIN ? 11002 : rc == EAI_SYSTEM ? WsaFromErrno(errno) : WSAHOST_NOT_FOUND;
}

int TIdStackPosix::WSCloseSocket(TIdStackSocketHandle s) { return ::close(static_cast<int>(s)); }


std::string TIdStackPosix::WSGetHostName() {
    char buf[250] = {};
    ::gethostname(buf, sizeof buf - 1);
    return std::string(buf, strnlen(buf, sizeof buf));
}

uint16_t TIdStackPosix::WSHToNs(uint16_t v) { return htons(v); }
uint16_t TIdStackPosix::WSNToHs(uint16_t v) { return ntohs(v); }

int TIdStackPosix::WSRecvFrom(TIdStackSocketHandle s, void* buf, int len, int flags, std::string& fromAddr, int& fromPort) {
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    ssize_t n;
    do {
        // MSG_TRUNC reports the datagram's real length, so a truncation can fail as on Windows.
        n = ::recvfrom(static_cast<int>(s), buf, static_cast<size_t>(len), flags | MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&from), &fromLen);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return Fail();
    TIdInAddr b;
    std::memcpy(b.data(), &from.sin_addr, 4);
    fromAddr = TranslateTInAddrToString(b);
    fromPort = ntohs(from.sin_port);
    if (n > len) {
        tLastError = WSAEMSGSIZE;
        return Id_SOCKET_ERROR;
    }
    return static_cast<int>(n);
}

int TIdStackPosix::WSSelectRead(TIdStackSocketHandle s, const long* seconds, const long* microseconds) {
    int fd = static_cast<int>(s);
    if (fd < 0 || fd >= FD_SETSIZE) {
        tLastError = 10038;
        return Id_SOCKET_ERROR;
    }
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval tv{};
    if (seconds) {
        tv.tv_sec = *seconds;
        tv.tv_usec = *microseconds;
    }
    // A signal does not end the wait: it goes on to the same deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(tv.tv_sec) + std::chrono::microseconds(tv.tv_usec);
    for (;;) {
        fd_set ready = set;
        int rc = ::select(fd + 1, &ready, nullptr, nullptr, seconds ? &tv : nullptr);
        if (rc >= 0) return rc;
        if (errno != EINTR) return Fail();
        if (seconds) {
            auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() < 0) left = std::chrono::microseconds(0);
            tv.tv_sec = static_cast<time_t>(left.count() / 1000000);
            tv.tv_usec = static_cast<suseconds_t>(left.count() % 1000000);
        }
    }
}

int TIdStackPosix::WSSendTo(TIdStackSocketHandle s, const void* buf, int len, int flags, const TIdInAddr& to, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    std::memcpy(&addr.sin_addr, to.data(), 4);
    ssize_t n;
    do {
        n = ::sendto(static_cast<int>(s), buf, static_cast<size_t>(len), flags | MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? Fail() : static_cast<int>(n);
}

int TIdStackPosix::WSSetSockOpt(TIdStackSocketHandle s, int level, int option, const void* value, int len) {
    // Windows' socket level and broadcast option; others pass through unchanged.
    int l = level == Id_SOL_SOCKET ? SOL_SOCKET : level;
    int o = level == Id_SOL_SOCKET && option == Id_SO_BROADCAST ? SO_BROADCAST : option;
    return ::setsockopt(static_cast<int>(s), l, o, value, static_cast<socklen_t>(len)) < 0 ? Fail() : 0;
}

TIdStackSocketHandle TIdStackPosix::WSSocket(int type, int protocol) {
    int fd = ::socket(AF_INET, (type == Id_SOCK_DGRAM ? SOCK_DGRAM : type) | SOCK_CLOEXEC, protocol);
    return fd < 0 ? Fail() : fd;
}

int TIdStackPosix::WSShutdown(TIdStackSocketHandle s, int how) {
    return ::shutdown(static_cast<int>(s), how == Id_SD_SEND ? SHUT_WR : how) < 0 ? Fail() : 0;
}


std::string TIdStackPosix::WSGetHostByName(const std::string& name) {
    TIdInAddr b;
    int rc = LookupIPv4(name, b);
    if (rc != 0) {
        tLastError = WsaFromLookupError(rc);
        return "";
    }
    return TranslateTInAddrToString(b);
}

int TIdStackPosix::WSGetLastError() { return tLastError; }

TIdStack* CreatePlatformStack() { return new TIdStackPosix(); }

}  // namespace timesync
