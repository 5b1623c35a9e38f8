// --demo where the simulator is built: a SimRunner on its own pseudo-terminal.
#include "cli/Demo.h"

#include "sim/PosixLine.h"
#include "sim/SimRunner.h"

namespace lum::cli {

struct DemoController::Impl {
    sim::SimRunner runner;
};

DemoController::DemoController() : impl_(std::make_unique<Impl>()) {}
DemoController::~DemoController() = default;

std::string DemoController::Start(std::uint8_t model, std::chrono::milliseconds interval) {
    sim::SimOptions options;
    options.model = model;
    options.interval = interval;
    options.clock = sim::LocalClock();
    return impl_->runner.Start(options);
}

}  // namespace lum::cli
