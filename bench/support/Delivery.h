#pragma once
// How a benchmark delivers the serial port's events to its main thread. Two paths: the plain
// main loop (common/MainLoop) that the tests and the simulator tests use, and, where the Qt
// parts are built, Qt's event loop as the window uses it (app/QtSafeSync for the delivery,
// app/QtEventPump for the transactions' waits). The benchmarks run each path in turn and
// print the figures of both.
//
// Main thread only; one delivery exists at a time (it installs the port layer's waker).
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/EventPump.h"

namespace lum::bench {

class Delivery {
  public:
    virtual ~Delivery() = default;
    virtual std::string Name() const = 0;
    // The pump the transactions wait with.
    virtual IEventPump& Pump() = 0;
    // Handles events until pred() holds (checked after each turn) or the timeout passes;
    // returns pred().
    virtual bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) = 0;
    // Handles what is pending now, without waiting.
    virtual void Poll() = 0;

    void RunFor(std::chrono::milliseconds duration) {
        RunUntil([] { return false; }, duration);
    }
};

using DeliveryFactory = std::function<std::unique_ptr<Delivery>()>;

// The delivery paths of this build, the plain main loop first. A factory makes and installs
// its delivery; destroying it uninstalls it.
std::vector<DeliveryFactory> DeliveryPaths();

// Adds the Qt event loop's path where the Qt parts are built (DeliveryQt.cpp), nothing
// elsewhere (DeliveryNoQt.cpp).
void AddQtDelivery(std::vector<DeliveryFactory>& paths);

}  // namespace lum::bench
