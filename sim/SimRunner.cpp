#include "sim/SimRunner.h"

#include <stdexcept>

#include "sim/PosixLine.h"

namespace lum::sim {

SimRunner::~SimRunner() {
    Stop();
}

std::string SimRunner::Start(const SimOptions& options, ControllerCore::LogSink log) {
    return Launch(options, std::move(log), false);
}

std::string SimRunner::StartWithTwin(const SimOptions& options, ControllerCore::LogSink log) {
    return Launch(options, std::move(log), true);
}

std::string SimRunner::Launch(const SimOptions& options, ControllerCore::LogSink log, bool withTwin) {
    if (Running()) throw std::logic_error("the simulated controller is already running");
    const TimePoint start = std::chrono::steady_clock::now();
    auto core = std::make_unique<ControllerCore>(options, start, std::move(log));
    auto twin = withTwin ? std::make_unique<CleanTwin>(options, start) : nullptr;
    line_ = PosixLine::OpenPty();
    core_ = std::move(core);
    twin_ = std::move(twin);
    path_ = line_->Path();
    stop_ = false;
    thread_ = std::thread([this] { RunLoop(*core_, *line_, stop_, lock_, twin_.get()); });
    return path_;
}

void SimRunner::Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    line_->Interrupt();
    thread_.join();
    line_.reset();
    core_.reset();
    twin_.reset();
}

void SimRunner::WithController(const std::function<void(ControllerCore&, TimePoint)>& fn) {
    if (!core_) throw std::logic_error("the simulated controller is not running");
    std::lock_guard guard(lock_);
    fn(*core_, std::chrono::steady_clock::now());
}

}  // namespace lum::sim

namespace lum::sim {

void SimRunner::WithTwin(const std::function<void(const CleanTwin&)>& fn) {
    if (!twin_) throw std::logic_error("the simulated controller runs without a twin");
    std::lock_guard guard(lock_);
    fn(*twin_);
}

}  // namespace lum::sim
