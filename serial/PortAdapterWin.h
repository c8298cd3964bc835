// Which adapter a COM port is, as SetupAPI tells it.
#pragma once

#include <string>

#include "serial/PortAdapter.h"

namespace serial {

TPortAdapter AdapterOfPort(const std::string& port);

}  // namespace serial
