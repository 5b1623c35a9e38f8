#include "bench/support/Delivery.h"

#include "common/MainLoop.h"
#include "serial/SafeSync.h"

namespace lum::bench {
namespace {

class PlainDelivery : public Delivery {
  public:
    PlainDelivery() { UseMainLoopForSafeSync(loop_); }
    ~PlainDelivery() override { SafeSync::SetWaker(nullptr); }
    std::string Name() const override { return "plain main loop"; }
    IEventPump& Pump() override { return loop_; }
    bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) override {
        return loop_.RunUntil(pred, timeout);
    }
    void Poll() override { loop_.RunQueued(); }

  private:
    MainLoop loop_;
};

}  // namespace

std::vector<DeliveryFactory> DeliveryPaths() {
    std::vector<DeliveryFactory> paths{[] { return std::make_unique<PlainDelivery>(); }};
    AddQtDelivery(paths);
    return paths;
}

}  // namespace lum::bench
