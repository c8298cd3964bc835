#include "timesync/IdSocketHandle.h"

#include "timesync/IdException.h"

namespace timesync {

void TIdSocketHandle::Reset(bool resetLocal) {
    handleAllocated_ = false;
    handle_ = Id_INVALID_SOCKET;
    if (resetLocal) {
        ip_.clear();
        port_ = 0;
    }
    peerIP_.clear();
    peerPort_ = 0;
}

void TIdSocketHandle::OpenSocket(int socketType, int protocol) {
    ReleaseSocket();
    TIdStackSocketHandle s = GStack()->WSSocket(socketType, protocol);
    if (s == Id_INVALID_SOCKET) throw EIdInvalidSocket();
    handle_ = s;
    handleAllocated_ = true;
}

void TIdSocketHandle::ReleaseSocket() {
    if (!handleAllocated_) return;
    handleAllocated_ = false;
    GStack()->WSShutdown(handle_, Id_SD_SEND);
    GStack()->WSCloseSocket(handle_);
    handle_ = Id_INVALID_SOCKET;
}

void TIdSocketHandle::SendPacket(const std::string& address, int port, const std::string& bytes) {
    TIdInAddr to = TIdStack::TranslateStringToTInAddr(address);
    int n = GStack()->WSSendTo(handle_, bytes.data(), static_cast<int>(bytes.size()), 0, to, port);
    if (n == Id_SOCKET_ERROR) {
        if (GStack()->WSGetLastError() == WSAEMSGSIZE) throw EIdPackageSizeTooBig();
        GStack()->CheckResult(n);
    }
    if (n != static_cast<int>(bytes.size())) throw EIdNotAllBytesSent();
}

int TIdSocketHandle::ReceivePacket(void* buf, int len, int flags) {
    int n = GStack()->WSRecvFrom(handle_, buf, len, flags, peerIP_, peerPort_);
    return n;
}

bool TIdSocketHandle::WaitReadable(int milliseconds) {
    if (!handleAllocated_) throw EIdConnClosedGracefully();
    if (milliseconds == -2) return GStack()->WSSelectRead(handle_, nullptr, nullptr) == 1;
    long seconds = milliseconds / 1000;
    long micro = (milliseconds % 1000) * 1000L;
    return GStack()->WSSelectRead(handle_, &seconds, &micro) == 1;
}

void TIdSocketHandle::SetOption(int level, int option, const void* value, int len) {
    GStack()->CheckResult(GStack()->WSSetSockOpt(handle_, level, option, value, len));
}

}  // namespace timesync
