// The real POSIX stack with name lookup answered here: no test may ask a name server, which would
// mean traffic off this machine. Only names ending in ".loopback.test" exist, all at 127.0.0.1.
#pragma once

#include <netdb.h>

#include "timesync/IdStackPosix.h"

namespace testing_support {

class TLoopbackStack final : public timesync::TIdStackPosix {
protected:
    int LookupIPv4(const std::string& name, timesync::TIdInAddr& a) override {
        const std::string suffix = ".loopback.test";
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            a = {127, 0, 0, 1};
            return 0;
        }
        return EAI_NONAME;
    }
};

inline void UseLoopbackStack() {
    timesync::SetStackFactory([] { return new TLoopbackStack(); });
}

}  // namespace testing_support
