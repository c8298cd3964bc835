// Setting the clock through systemd-timedated on the system bus, for users whom the kernel refuses:
// polkit decides, and may ask the user for a password.
#pragma once

#include <cstdint>
#include <string>

#include "base/Clock.h"

namespace base {

// $DBUS_SYSTEM_BUS_ADDRESS, else the standard system bus socket.
std::string SystemBusAddress();

// SetTime(usec, relative = true, interactive = true) on org.freedesktop.timedate1. False, with the
// bus's message in `error` and what it means in `why`, when there is no bus or no timedated,
// automatic synchronisation is on, or the authorisation is denied.
bool TimedatedSetTimeRelative(int64_t usec, const std::string& busAddress, std::string* error = nullptr,
                              TClockRefusal* why = nullptr);

// What a D-Bus error name from timedated (or the bus on its behalf) says of the refusal.
TClockRefusal RefusalOfTimedatedError(const std::string& errorName);

}  // namespace base
