// Demo mode on POSIX: the simulated controller on a pseudo-terminal.
#include "sim/Demo.h"

#include "sim/PosixLine.h"
#include "sim/SimRunner.h"

namespace lum::sim {

struct DemoController::Impl {
    SimRunner runner;
};

DemoController::DemoController() : impl_(std::make_unique<Impl>()) {}
DemoController::~DemoController() = default;

std::string DemoController::Start(std::uint8_t model, std::chrono::milliseconds interval) {
    SimOptions options;
    options.model = model;
    options.interval = interval;
    options.clock = LocalClock();
    return impl_->runner.Start(options);
}

void DemoController::Stop() {
    impl_->runner.Stop();
}

}  // namespace lum::sim
