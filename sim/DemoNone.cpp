// Demo mode where the simulator has no line on this OS: starting it is refused.
#include "sim/Demo.h"

namespace lum::sim {

struct DemoController::Impl {};

DemoController::DemoController() = default;
DemoController::~DemoController() = default;

std::string DemoController::Start(std::uint8_t, std::chrono::milliseconds) {
    throw DemoUnavailable();
}

void DemoController::Stop() {}

}  // namespace lum::sim
