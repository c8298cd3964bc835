// A UDP component: one socket handle, created on demand and destroyed when inactive.
#pragma once

#include <memory>
#include <string>

#include "timesync/IdComponent.h"
#include "timesync/IdSocketHandle.h"

namespace timesync {

class TIdUDPBase : public TIdComponent {
public:
    TIdUDPBase() = default;
    ~TIdUDPBase() override { ReleaseSocketHandle(); }

    int BufferSize = 8192;

    virtual bool GetActive() const;
    void SetActive(bool value);
    bool GetBroadcastEnabled() const { return broadcastEnabled_; }
    void SetBroadcastEnabled(bool value);

    virtual TIdSocketHandle& SocketHandle();
    virtual void ReleaseSocketHandle() { binding_.reset(); }

    void SendText(const std::string& bytes);
    // One datagram of at most BufferSize bytes; empty when none came in time (-1: ReceiveTimeout).
    std::string ReceiveText(int timeoutMs = -1);
    int ReceiveBytes(void* buffer, int size, std::string& peerIP, int& peerPort, int timeoutMs);

    void Loaded() override;

protected:
    std::string host_;
    int port_ = 0;
    int receiveTimeout_ = -2;

private:
    void ApplyBroadcast();

    std::unique_ptr<TIdSocketHandle> binding_;
    bool broadcastEnabled_ = false;
    bool deferredActive_ = false;
};

}  // namespace timesync
