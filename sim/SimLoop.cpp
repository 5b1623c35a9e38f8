#include "sim/SimLoop.h"

#include <algorithm>

namespace lum::sim {

void RunLoop(ControllerCore& core, ISimLine& line, const std::atomic<bool>& stop, std::mutex& lock) {
    using Clock = std::chrono::steady_clock;
    while (!stop.load()) {
        std::vector<std::string> writes;
        TimePoint next;
        {
            std::lock_guard guard(lock);
            writes = core.TakeDue(Clock::now());
            next = core.NextDue();
        }
        for (const auto& w : writes) line.Write(w);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
        const std::string data = line.Read(std::max(wait, std::chrono::milliseconds(0)));
        if (!data.empty()) {
            std::lock_guard guard(lock);
            core.Receive(data, Clock::now());
        }
    }
}

}  // namespace lum::sim
