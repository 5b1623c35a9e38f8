#pragma once
// The tool's demo mode: a simulated controller on a line of its own, which the window or
// lumctl opens like a serial device. One implementation per OS, chosen by CMake:
// sim/DemoPty.cpp on a pseudo-terminal where there is one, sim/DemoNone.cpp where the
// simulator has no line (Start raises DemoUnavailable).
//
// Threads: owner thread only; the controller itself runs on a background thread.
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace lum::sim {

// Demo mode does not exist on this system.
class DemoUnavailable : public std::runtime_error {
  public:
    DemoUnavailable() : std::runtime_error("Демо-режим на этой системе недоступен") {}
};

class DemoController {
  public:
    DemoController();
    ~DemoController();
    DemoController(const DemoController&) = delete;
    DemoController& operator=(const DemoController&) = delete;

    // Starts a controller of `model` (a code of the model table) sending a status record every
    // `interval`, its clock at the PC's time, and returns the path to open. Raises
    // DemoUnavailable where there is no line, std::invalid_argument for an unknown model.
    std::string Start(std::uint8_t model, std::chrono::milliseconds interval = std::chrono::seconds(1));
    // Stops the controller; nothing when not running.
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lum::sim
