// The root of the socket components: every instance keeps the process-wide socket stack alive.
#pragma once

#include <string>

namespace timesync {

class TIdBaseComponent {
public:
    virtual ~TIdBaseComponent() = default;
    // The component is being read from its stored description; properties apply at Loaded().
    bool Loading = false;
    virtual void Loaded() { Loading = false; }
};

class TIdComponent : public TIdBaseComponent {
public:
    TIdComponent();
    ~TIdComponent() override;
    TIdComponent(const TIdComponent&) = delete;
    TIdComponent& operator=(const TIdComponent&) = delete;

    std::string LocalHostName() const;
};

}  // namespace timesync
