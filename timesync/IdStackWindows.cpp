#include "timesync/IdStackWindows.h"

#include "base/AnsiCodePage.h"

#include <winsock2.h>

#include <cstring>

#include "timesync/IdException.h"
#include "timesync/IdWinSock2.h"

namespace timesync {

namespace {

bool gStarted = false;

// Cleans the interface up once at process end, if it was started, and releases the library.
struct TWinsockAtExit {
    ~TWinsockAtExit() {
        if (gStarted && WinsockLoaded()) ws2::Cleanup();
        FreeWinsock();
    }
} gAtExit;

SOCKET Sock(TIdStackSocketHandle s) { return static_cast<SOCKET>(s); }

}  // namespace

bool WinsockStarted() { return gStarted; }

TIdStackWindows::TIdStackWindows() {
    if (gStarted) return;
    if (LoadWinsock()) {
        WSADATA data;
        if (ws2::Startup(0x0202, &data) != 0) throw EIdStackInitializationFailed();
    }
    gStarted = true;
}

int TIdStackWindows::WSCloseSocket(TIdStackSocketHandle s) { return ws2::CloseSocket(Sock(s)); }

std::string TIdStackWindows::WSGetHostByName(const std::string& name) {
    hostent* h = ws2::GetHostByName(name.c_str());
    if (!h || !h->h_addr_list || !h->h_addr_list[0]) return "";
    TIdInAddr b;
    std::memcpy(b.data(), h->h_addr_list[0], 4);
    return TranslateTInAddrToString(b);
}

std::string TIdStackWindows::WSGetHostName() {
    char buf[250] = {};
    ws2::GetHostName(buf, sizeof buf);
    // The name comes in the ANSI code page; the program's texts are UTF-8.
    return base::AnsiToUtf8(std::string(buf, strnlen(buf, sizeof buf)));
}

uint16_t TIdStackWindows::WSHToNs(uint16_t v) { return ws2::HToNs(v); }
uint16_t TIdStackWindows::WSNToHs(uint16_t v) { return ws2::NToHs(v); }

int TIdStackWindows::WSRecvFrom(TIdStackSocketHandle s, void* buf, int len, int flags, std::string& fromAddr,
                                int& fromPort) {
    sockaddr_in from{};
    int fromLen = sizeof from;
    int n = ws2::RecvFrom(Sock(s), static_cast<char*>(buf), len, flags, reinterpret_cast<sockaddr*>(&from), &fromLen);
    // A datagram too long for the buffer still names its sender.
    if (n != SOCKET_ERROR || ws2::GetLastError() == WSAEMSGSIZE) {
        TIdInAddr b;
        std::memcpy(b.data(), &from.sin_addr, 4);
        fromAddr = TranslateTInAddrToString(b);
        fromPort = ws2::NToHs(from.sin_port);
    }
    return n;
}

int TIdStackWindows::WSSelectRead(TIdStackSocketHandle s, const long* seconds, const long* microseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Sock(s), &set);
    timeval tv{};
    if (seconds) {
        tv.tv_sec = *seconds;
        tv.tv_usec = *microseconds;
    }
    return ws2::Select(0, &set, nullptr, nullptr, seconds ? &tv : nullptr);
}

int TIdStackWindows::WSSendTo(TIdStackSocketHandle s, const void* buf, int len, int flags, const TIdInAddr& to,
                              int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = ws2::HToNs(static_cast<u_short>(port));
    std::memcpy(&addr.sin_addr, to.data(), 4);
    return ws2::SendTo(Sock(s), static_cast<const char*>(buf), len, flags, reinterpret_cast<const sockaddr*>(&addr),
                       sizeof addr);
}

int TIdStackWindows::WSSetSockOpt(TIdStackSocketHandle s, int level, int option, const void* value, int len) {
    return ws2::SetSockOpt(Sock(s), level, option, static_cast<const char*>(value), len);
}

TIdStackSocketHandle TIdStackWindows::WSSocket(int type, int protocol) {
    SOCKET s = ws2::Socket(AF_INET, type, protocol);
    return s == INVALID_SOCKET ? Id_INVALID_SOCKET : static_cast<TIdStackSocketHandle>(s);
}

int TIdStackWindows::WSShutdown(TIdStackSocketHandle s, int how) { return ws2::Shutdown(Sock(s), how); }

int TIdStackWindows::WSGetLastError() { return ws2::GetLastError(); }

std::string TIdStackWindows::WSTranslateSocketErrorMsg(int code) {
    if (code == WSAHOST_NOT_FOUND) return "Socket Error # 11001\r\nHost not found.";
    return TIdStack::WSTranslateSocketErrorMsg(code);
}

TIdStack* CreatePlatformStack() { return new TIdStackWindows(); }

}  // namespace timesync
