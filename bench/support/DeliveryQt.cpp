// The Qt event loop's delivery path, as the window runs it.
#include <QCoreApplication>

#include "app/QtEventPump.h"
#include "app/QtSafeSync.h"
#include "bench/support/Delivery.h"
#include "tests/support/ScriptedDialogs.h"

namespace lum::bench {
namespace {

// One application object for the process, made when the first Qt delivery is.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
}

class QtDelivery : public Delivery {
  public:
    QtDelivery() {
        EnsureApplication();
        InstallQtSafeSync(dialogs_);
    }
    ~QtDelivery() override { UninstallQtSafeSync(); }
    std::string Name() const override { return "Qt event loop"; }
    IEventPump& Pump() override { return pump_; }
    bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) override {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!pred()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pump_.RunPending(left);
        }
        return pred();
    }
    void Poll() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }

  private:
    ScriptedDialogs dialogs_;  // an error escaping a delivery is recorded, not shown
    QtEventPump pump_;
};

}  // namespace

void AddQtDelivery(std::vector<DeliveryFactory>& paths) {
    paths.push_back([] { return std::make_unique<QtDelivery>(); });
}

}  // namespace lum::bench
