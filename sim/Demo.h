#pragma once
// The tool's demo mode, the same on every system: a simulated controller in the process, on an
// in-process line (serial/InProcessLine.h) that the window or lumctl opens by its name through the
// port component, as it opens a COM port. The frames go through the port's worker threads, its
// event delivery and the receive path, exactly as from a real line.
//
// Threads: owner thread only; the controller itself runs on a background thread.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace lum::sim {

class DemoController {
  public:
    DemoController();
    ~DemoController();  // Stop
    DemoController(const DemoController&) = delete;
    DemoController& operator=(const DemoController&) = delete;

    // Starts a controller of `model` (a code of the model table) sending a status record every
    // `interval`, its clock at the PC's time, and returns the name to open as the port's device.
    // Raises std::invalid_argument for an unknown model, std::logic_error while running.
    std::string Start(std::uint8_t model, std::chrono::milliseconds interval = std::chrono::seconds(1));
    // Stops the controller and removes its line (a port still open on it sees a lost device);
    // nothing when not running.
    void Stop();
    bool Running() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lum::sim
