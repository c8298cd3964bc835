#include "timesync/IdUDPBase.h"

#include <vector>

namespace timesync {

bool TIdUDPBase::GetActive() const { return deferredActive_ || (binding_ && binding_->HandleAllocated()); }

void TIdUDPBase::SetActive(bool value) {
    if (GetActive() == value) return;
    if (Loading) {
        deferredActive_ = value;
        return;
    }
    if (value) SocketHandle();
    else ReleaseSocketHandle();
}

void TIdUDPBase::Loaded() {
    TIdComponent::Loaded();
    if (deferredActive_) {
        deferredActive_ = false;
        SetActive(true);
    }
}

void TIdUDPBase::SetBroadcastEnabled(bool value) {
    if (broadcastEnabled_ == value) return;
    broadcastEnabled_ = value;
    if (GetActive() && binding_) ApplyBroadcast();
}

void TIdUDPBase::ApplyBroadcast() {
    // Set on every new socket, also when off.
    int v = broadcastEnabled_ ? -1 : 0;
    binding_->SetOption(Id_SOL_SOCKET, Id_SO_BROADCAST, &v, sizeof v);
}

TIdSocketHandle& TIdUDPBase::SocketHandle() {
    if (!binding_) binding_ = std::make_unique<TIdSocketHandle>();
    if (!binding_->HandleAllocated()) {
        binding_->OpenSocket(Id_SOCK_DGRAM, 0);
        ApplyBroadcast();
    }
    return *binding_;
}

void TIdUDPBase::SendText(const std::string& bytes) {
    std::string address = GStack()->ResolveAddress(host_);
    SocketHandle().SendPacket(address, port_, bytes);
}

std::string TIdUDPBase::ReceiveText(int timeoutMs) {
    std::vector<char> buf(static_cast<size_t>(BufferSize > 0 ? BufferSize : 0));
    std::string ip;
    int port = 0;
    int n = ReceiveBytes(buf.data(), static_cast<int>(buf.size()), ip, port, timeoutMs);
    return std::string(buf.data(), static_cast<size_t>(n > 0 ? n : 0));
}

int TIdUDPBase::ReceiveBytes(void* buffer, int size, std::string& peerIP, int& peerPort, int timeoutMs) {
    if (timeoutMs == -1) timeoutMs = receiveTimeout_;
    TIdSocketHandle& h = SocketHandle();
    if (!h.WaitReadable(timeoutMs)) {
        peerIP.clear();
        peerPort = 0;
        return 0;
    }
    int n = h.ReceivePacket(buffer, size, 0);
    GStack()->CheckResult(n);
    peerIP = h.PeerIP();
    peerPort = h.PeerPort();
    return n;
}

}  // namespace timesync
