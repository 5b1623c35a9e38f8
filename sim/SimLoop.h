#pragma once
// The simulated controller's run loop over any line (std-only; the lines themselves are
// per OS: sim/PosixLine.h).
#include <atomic>
#include <mutex>

#include "sim/ControllerCore.h"
#include "sim/SimLine.h"

namespace lum::sim {

// Drives `core` on `line` until `stop` is set (and line.Interrupt() called to end a wait).
// Every use of `core` happens under `lock`. The calling thread runs the loop.
void RunLoop(ControllerCore& core, ISimLine& line, const std::atomic<bool>& stop, std::mutex& lock);

}  // namespace lum::sim
