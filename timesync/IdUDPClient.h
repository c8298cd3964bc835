#pragma once

#include "timesync/IdUDPBase.h"

namespace timesync {

class TIdUDPClient : public TIdUDPBase {
public:
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& v) { host_ = v; }
    int Port() const { return port_; }
    void SetPort(int v) { port_ = v; }
    int ReceiveTimeout() const { return receiveTimeout_; }
    void SetReceiveTimeout(int v) { receiveTimeout_ = v; }
};

}  // namespace timesync
