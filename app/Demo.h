#pragma once
// The window's demo mode: a simulated controller on a line of its own, which the window
// opens like a serial device. One implementation per OS (app/DemoPosix.cpp, app/DemoNone.cpp
// where the simulator has no line). Owner (main) thread only.
#include <memory>
#include <string>

namespace lum {

class DemoController {
  public:
    DemoController();
    ~DemoController();
    DemoController(const DemoController&) = delete;
    DemoController& operator=(const DemoController&) = delete;

    // Starts a simulated controller of `model` (200, 201, 202 or 30) whose clock starts at
    // the PC's time, and returns the path to open. Raises std::runtime_error when no line
    // can be had (or this system has none), std::invalid_argument for an unknown model.
    std::string Start(int model);
    // Stops the controller; nothing when not running.
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lum
