#pragma once
// The pump a waiting transaction runs: it handles the events pending on the calling
// (main) thread and, when there are none, sleeps until one arrives or the bound passes.
// It never spins. Main thread only.
#include <chrono>

namespace lum {

class IEventPump {
public:
    virtual ~IEventPump() = default;
    // Runs pending events; returns after at least one event was handled or maxWait passed.
    virtual void RunPending(std::chrono::milliseconds maxWait) = 0;
};

}  // namespace lum
