// One platform socket with its local and peer addresses.
#pragma once

#include <string>

#include "timesync/IdStack.h"

namespace timesync {

class TIdSocketHandle {
public:
    TIdSocketHandle() { Reset(true); }
    ~TIdSocketHandle() { ReleaseSocket(); }
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    void Reset(bool resetLocal);
    void OpenSocket(int socketType, int protocol);
    void ReleaseSocket();
    void SendPacket(const std::string& address, int port, const std::string& bytes);
    int ReceivePacket(void* buf, int len, int flags);
    bool WaitReadable(int milliseconds);
    void SetOption(int level, int option, const void* value, int len);

    bool HandleAllocated() const { return handleAllocated_; }
    TIdStackSocketHandle Handle() const { return handle_; }
    const std::string& PeerIP() const { return peerIP_; }
    int PeerPort() const { return peerPort_; }
    int ClientPortMin = 0, ClientPortMax = 0;

private:
    TIdStackSocketHandle handle_ = Id_INVALID_SOCKET;
    bool handleAllocated_ = false;
    std::string ip_, peerIP_;
    int port_ = 0, peerPort_ = 0;
};

}  // namespace timesync
