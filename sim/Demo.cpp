#include "sim/Demo.h"

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "serial/InProcessLine.h"
#include "sim/LocalClock.h"
#include "sim/SimLoop.h"

namespace lum::sim {
namespace {

// The controller's side of the in-process line.
class PeerLine final : public ISimLine {
  public:
    explicit PeerLine(std::shared_ptr<InProcessLine> line) : line_(std::move(line)) {}
    std::string Read(std::chrono::milliseconds maxWait) override { return line_->PeerRead(maxWait); }
    void Write(std::string_view bytes) override { line_->PeerWrite(bytes); }
    void Interrupt() override { line_->Interrupt(); }
    std::string Path() const override { return line_->Name(); }

  private:
    std::shared_ptr<InProcessLine> line_;
};

}  // namespace

struct DemoController::Impl {
    std::unique_ptr<PeerLine> line;
    std::unique_ptr<ControllerCore> core;
    std::mutex lock;
    std::atomic<bool> stop{false};
    std::thread thread;
};

DemoController::DemoController() : impl_(std::make_unique<Impl>()) {}

DemoController::~DemoController() {
    Stop();
}

std::string DemoController::Start(std::uint8_t model, std::chrono::milliseconds interval) {
    if (Running()) throw std::logic_error("the demo controller is already running");
    SimOptions options;
    options.model = model;
    options.interval = interval;
    options.clock = LocalClock();
    impl_->core = std::make_unique<ControllerCore>(options, std::chrono::steady_clock::now());  // checks the model
    impl_->line = std::make_unique<PeerLine>(InProcessLine::Create());
    impl_->stop = false;
    impl_->thread = std::thread([impl = impl_.get()] { RunLoop(*impl->core, *impl->line, impl->stop, impl->lock); });
    return impl_->line->Path();
}

void DemoController::Stop() {
    if (!impl_->thread.joinable()) return;
    impl_->stop = true;
    impl_->line->Interrupt();
    impl_->thread.join();
    impl_->line.reset();
    impl_->core.reset();
}

bool DemoController::Running() const {
    return impl_->thread.joinable();
}

}  // namespace lum::sim
