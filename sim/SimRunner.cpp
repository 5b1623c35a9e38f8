#include "sim/SimRunner.h"

#include <stdexcept>

#include "sim/PosixLine.h"

namespace lum::sim {

SimRunner::~SimRunner() {
    Stop();
}

std::string SimRunner::Start(const SimOptions& options, ControllerCore::LogSink log) {
    if (Running()) throw std::logic_error("the simulated controller is already running");
    auto core = std::make_unique<ControllerCore>(options, std::chrono::steady_clock::now(), std::move(log));
    line_ = PosixLine::OpenPty();
    core_ = std::move(core);
    path_ = line_->Path();
    stop_ = false;
    thread_ = std::thread([this] { RunLoop(*core_, *line_, stop_, lock_); });
    return path_;
}

void SimRunner::Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    line_->Interrupt();
    thread_.join();
    line_.reset();
    core_.reset();
}

void SimRunner::WithController(const std::function<void(ControllerCore&, TimePoint)>& fn) {
    if (!core_) throw std::logic_error("the simulated controller is not running");
    std::lock_guard guard(lock_);
    fn(*core_, std::chrono::steady_clock::now());
}

}  // namespace lum::sim
