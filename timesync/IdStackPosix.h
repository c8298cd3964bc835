// The BSD sockets stack. Name lookup sits in one overridable call so that tests can answer it
// without asking a name server.
#pragma once

#include "timesync/IdStack.h"

namespace timesync {

class TIdStackPosix : public TIdStack {
public:
    std::string WSGetHostByName(const std::string& name) override;
    int WSGetLastError() override;
    int WSCloseSocket(TIdStackSocketHandle s) override;
    std::string WSGetHostName() override;
    uint16_t WSHToNs(uint16_t v) override;
    uint16_t WSNToHs(uint16_t v) override;
    int WSRecvFrom(TIdStackSocketHandle s, void* buf, int len, int flags, std::string& fromAddr, int& fromPort) override;
    int WSSelectRead(TIdStackSocketHandle s, const long* seconds, const long* microseconds) override;
    int WSSendTo(TIdStackSocketHandle s, const void* buf, int len, int flags, const TIdInAddr& to, int port) override;
    int WSSetSockOpt(TIdStackSocketHandle s, int level, int option, const void* value, int len) override;
    TIdStackSocketHandle WSSocket(int type, int protocol) override;
    int WSShutdown(TIdStackSocketHandle s, int how) override;

protected:
    // getaddrinfo for one IPv4 address: 0 or an EAI_* code.
    virtual int LookupIPv4(const std::string& name, TIdInAddr& address);
};

// getaddrinfo's EAI_* code as a Windows sockets code (11001 host not found, 11002 try again).
int WsaFromLookupError(int rc);

}  // namespace timesync
