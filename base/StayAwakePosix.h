// The Linux binding of TStayAwake, on buses a test may choose.
#pragma once

#include <string>

#include "base/StayAwake.h"

namespace base {

class TDesktopStayAwake final : public TStayAwake {
public:
    // The session bus the portal is looked for on ("" for none) and the system bus of logind.
    TDesktopStayAwake(std::string sessionBus, std::string systemBus);
    ~TDesktopStayAwake() override;
    void Hold(const std::string& reason) override;
    void Release() override;

private:
    bool HoldThroughPortal(const std::string& reason);
    bool HoldThroughLogind(const std::string& reason);

    const std::string sessionBus_, systemBus_;
    void* portal_ = nullptr;  // the session bus connection the portal's request lives on
    std::string request_;     // ... and the request's object
    int inhibitFd_ = -1;      // logind's descriptor
    bool held_ = false;
};

// $DBUS_SESSION_BUS_ADDRESS, else the user's bus socket where it exists; "" for none.
std::string SessionBusAddress();

}  // namespace base
