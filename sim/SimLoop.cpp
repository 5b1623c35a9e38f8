#include "sim/SimLoop.h"

#include <algorithm>

namespace lum::sim {
namespace {

SimOptions WithoutNoise(SimOptions options) {
    options.noise = 0;
    return options;
}

}  // namespace

CleanTwin::CleanTwin(const SimOptions& noisy, TimePoint start) : core(WithoutNoise(noisy), start) {}

void RunLoop(ControllerCore& core, ISimLine& line, const std::atomic<bool>& stop, std::mutex& lock,
             CleanTwin* twin) {
    using Clock = std::chrono::steady_clock;
    while (!stop.load()) {
        std::vector<std::string> writes;
        TimePoint next;
        {
            std::lock_guard guard(lock);
            const TimePoint now = Clock::now();
            writes = core.TakeDue(now);
            next = core.NextDue();
            if (twin) {
                for (const auto& w : twin->core.TakeDue(now)) twin->sent += w;
                for (const auto& w : writes) twin->noisy += w;
            }
        }
        for (const auto& w : writes) line.Write(w);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
        const std::string data = line.Read(std::max(wait, std::chrono::milliseconds(0)));
        if (!data.empty()) {
            std::lock_guard guard(lock);
            const TimePoint now = Clock::now();
            core.Receive(data, now);
            if (twin) twin->core.Receive(data, now);
        }
    }
}

}  // namespace lum::sim
