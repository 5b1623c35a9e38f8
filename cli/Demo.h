#pragma once
// --demo: the built-in simulated controller, running inside lumctl on a pseudo-terminal.
// Where the simulator is not built (Windows), Start raises CliError with exit code 2.
//
// Threads: owner thread only; the simulator itself runs on a background thread.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace lum::cli {

class DemoController {
  public:
    DemoController();
    ~DemoController();
    DemoController(const DemoController&) = delete;
    DemoController& operator=(const DemoController&) = delete;

    // Starts the controller of `model` sending a status record every `interval`; returns the
    // device path to open.
    std::string Start(std::uint8_t model, std::chrono::milliseconds interval);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lum::cli
