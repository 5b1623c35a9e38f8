// Demo mode on POSIX: the simulated controller on a pseudo-terminal.
#include <cstdint>

#include "app/Demo.h"
#include "sim/PosixLine.h"
#include "sim/SimRunner.h"

namespace lum {

struct DemoController::Impl {
    sim::SimRunner runner;
};

DemoController::DemoController() : impl_(std::make_unique<Impl>()) {}
DemoController::~DemoController() = default;

std::string DemoController::Start(int model) {
    sim::SimOptions options;
    options.model = static_cast<std::uint8_t>(model);
    options.clock = sim::LocalClock();
    return impl_->runner.Start(options);
}

void DemoController::Stop() {
    impl_->runner.Stop();
}

}  // namespace lum
