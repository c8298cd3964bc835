// The process-wide socket stack: socket calls, name resolution, IPv4 address texts, error texts.
// Its operations speak the Windows sockets terms (codes 100xx, option levels); each platform's
// stack translates.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace timesync {

using TIdStackSocketHandle = intptr_t;
inline constexpr TIdStackSocketHandle Id_INVALID_SOCKET = -1;
inline constexpr int Id_SOCKET_ERROR = -1;
inline constexpr int Id_SOCK_DGRAM = 2;
inline constexpr int Id_SOL_SOCKET = 0xFFFF;
inline constexpr int Id_SO_BROADCAST = 0x20;
inline constexpr int Id_SD_SEND = 1;

// Where the Windows headers are in, these are their macros, of the same values.
#ifndef WSAEMSGSIZE
inline constexpr int WSAEMSGSIZE = 10040;
#endif
#ifndef WSAHOST_NOT_FOUND
inline constexpr int WSAHOST_NOT_FOUND = 11001;
#endif

using TIdInAddr = std::array<uint8_t, 4>;

class TIdStack {
public:
    virtual ~TIdStack() = default;

    int LastErrorCode = 0;

    // "LOCALHOST" in any case is 127.0.0.1; an address text stands as it is; other names are looked up.
    std::string ResolveAddress(const std::string& host);
    // The four accepted forms a, a.b, a.b.c, a.b.c.d; bytes first byte first.
    static bool ParseAddressLiteral(const std::string& text, TIdInAddr& bytes);
    static bool IsAddressLiteral(const std::string& text);
    // Raises EIdSocketError for the last error when the result is -1.
    void CheckResult(int result);
    static std::string ErrorText(int code);
    static std::string TranslateTInAddrToString(const TIdInAddr& a);
    static TIdInAddr TranslateStringToTInAddr(const std::string& text);  // raises EIdInvalidIPAddress

    // The platform's part.
    virtual int WSCloseSocket(TIdStackSocketHandle s) = 0;
    // First IPv4 address of the name as dotted text; empty when there is no answer (last error set).
    virtual std::string WSGetHostByName(const std::string& name) = 0;
    virtual std::string WSGetHostName() = 0;
    virtual uint16_t WSHToNs(uint16_t v) = 0;
    virtual uint16_t WSNToHs(uint16_t v) = 0;
    virtual int WSRecvFrom(TIdStackSocketHandle s, void* buf, int len, int flags, std::string& fromAddr,
                           int& fromPort) = 0;
    // Waits until the socket is readable: -1 failure, 0 time-out, 1 readable. A null time-out waits for ever.
    virtual int WSSelectRead(TIdStackSocketHandle s, const long* seconds, const long* microseconds) = 0;
    virtual int WSSendTo(TIdStackSocketHandle s, const void* buf, int len, int flags, const TIdInAddr& to,
                         int port) = 0;
    virtual int WSSetSockOpt(TIdStackSocketHandle s, int level, int option, const void* value, int len) = 0;
    virtual TIdStackSocketHandle WSSocket(int type, int protocol) = 0;
    virtual int WSShutdown(TIdStackSocketHandle s, int how) = 0;
    virtual int WSGetLastError() = 0;
    virtual std::string WSTranslateSocketErrorMsg(int code) { return ErrorText(code); }
};

// The process-wide stack, present while any TIdComponent lives.
TIdStack* GStack();

// For tests: how often the stack was created and destroyed, and a factory to make it (the
// platform's stack by default).
struct TIdStackCounters {
    int Created = 0;
    int Destroyed = 0;
};
TIdStackCounters StackCounters();
void SetStackFactory(std::function<TIdStack*()> factory);

// Component count and stack life, under the process-wide lock.
void AcquireStack();
void ReleaseStack();

// The platform's stack (POSIX sockets here).
TIdStack* CreatePlatformStack();

}  // namespace timesync
