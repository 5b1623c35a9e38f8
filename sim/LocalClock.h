#pragma once
// The local date and time of this machine, for a simulated controller's clock at start. One file per
// OS (sim/posix/LocalClock.cpp, sim/win32/LocalClock.cpp). Any thread.
#include "sim/ControllerCore.h"

namespace lum::sim {

ClockTime LocalClock();

}  // namespace lum::sim
