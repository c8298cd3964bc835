// The socket stack on Windows sockets 2, loaded by name. The interface is started once per process
// (version 2.2) and cleaned up once at process end.
#pragma once

#include "timesync/IdStack.h"

namespace timesync {

class TIdStackWindows : public TIdStack {
public:
    TIdStackWindows();

    int WSCloseSocket(TIdStackSocketHandle s) override;
    std::string WSGetHostByName(const std::string& name) override;
    std::string WSGetHostName() override;
    uint16_t WSHToNs(uint16_t v) override;
    uint16_t WSNToHs(uint16_t v) override;
    int WSRecvFrom(TIdStackSocketHandle s, void* buf, int len, int flags, std::string& fromAddr, int& fromPort) override;
    int WSSelectRead(TIdStackSocketHandle s, const long* seconds, const long* microseconds) override;
    int WSSendTo(TIdStackSocketHandle s, const void* buf, int len, int flags, const TIdInAddr& to, int port) override;
    int WSSetSockOpt(TIdStackSocketHandle s, int level, int option, const void* value, int len) override;
    TIdStackSocketHandle WSSocket(int type, int protocol) override;
    int WSShutdown(TIdStackSocketHandle s, int how) override;
    int WSGetLastError() override;
    std::string WSTranslateSocketErrorMsg(int code) override;
};

// Whether the interface has been started in this process; stays set once it was.
bool WinsockStarted();

}  // namespace timesync
