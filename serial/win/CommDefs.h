// The Windows communications names used by the serial layer: the system's own macros.
#pragma once

#include <windows.h>
