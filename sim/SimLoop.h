#pragma once
// The simulated controller's run loop over any line (std-only; the lines themselves are
// per OS: sim/PosixLine.h).
#include <atomic>
#include <mutex>
#include <string>

#include "sim/ControllerCore.h"
#include "sim/SimLine.h"

namespace lum::sim {

// A clean twin of a simulated controller: the same options and start without noise,
// driven at the same moments with the same received characters, so it sends exactly what
// the noisy controller would have sent on a clean line (noise draws from a random stream
// of its own and shifts no other choice). Tests compare what the tool accepted with it.
struct CleanTwin {
    CleanTwin(const SimOptions& noisy, TimePoint start);
    ControllerCore core;
    std::string sent;   // every character the twin sent, in order
    std::string noisy;  // every character the noisy controller sent, in order
};

// Drives `core` on `line` until `stop` is set (and line.Interrupt() called to end a wait).
// A twin, when given, takes the same steps off the line and keeps what both sent. Every use of `core` and `twin`
// happens under `lock`. The calling thread runs the loop.
void RunLoop(ControllerCore& core, ISimLine& line, const std::atomic<bool>& stop, std::mutex& lock,
             CleanTwin* twin = nullptr);

}  // namespace lum::sim
