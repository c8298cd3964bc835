#include "timesync/IdComponent.h"

#include "timesync/IdStack.h"

namespace timesync {

TIdComponent::TIdComponent() { AcquireStack(); }
TIdComponent::~TIdComponent() { ReleaseStack(); }

std::string TIdComponent::LocalHostName() const { return GStack()->WSGetHostName(); }

}  // namespace timesync
