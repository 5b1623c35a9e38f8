#pragma once
// A runner that keeps a simulated controller on its own pseudo-terminal in a background
// thread (for tests and benchmarks; the demo mode has its in-process line, sim/Demo.h). POSIX only, as its line is.
//
//   lum::sim::SimOptions options;             // options.model, options.interval ...
//   options.clock = lum::sim::LocalClock();   // the PC's time (sim/PosixLine.h)
//   lum::sim::SimRunner sim;
//   std::string path = sim.Start(options);   // open `path` like a serial device
//   ...
//   sim.Stop();                               // also done by the destructor
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/ControllerCore.h"
#include "sim/SimLine.h"
#include "sim/SimLoop.h"

namespace lum::sim {

class SimRunner {
  public:
    SimRunner() = default;
    ~SimRunner();
    SimRunner(const SimRunner&) = delete;
    SimRunner& operator=(const SimRunner&) = delete;

    // Opens a new pseudo-terminal, starts the controller on a background thread and
    // returns the slave path. Raises std::system_error when no pseudo-terminal can be
    // had, std::invalid_argument for an unknown model, std::logic_error when running.
    // The log sink is called on the background thread. Owner thread only.
    std::string Start(const SimOptions& options, ControllerCore::LogSink log = {});
    // As Start, with a clean twin (sim/SimLoop.h) run beside the controller.
    std::string StartWithTwin(const SimOptions& options, ControllerCore::LogSink log = {});
    // Stops the thread and closes the pseudo-terminal; nothing when not running. Owner thread only.
    void Stop();
    bool Running() const { return thread_.joinable(); }
    std::string Path() const { return path_; }

    // Runs fn with the controller and the current time, under the controller's lock. Any
    // thread, while running.
    void WithController(const std::function<void(ControllerCore&, TimePoint now)>& fn);
    // Runs fn with the clean twin, under the same lock; std::logic_error without one.
    void WithTwin(const std::function<void(const CleanTwin&)>& fn);

  private:
    std::string Launch(const SimOptions& options, ControllerCore::LogSink log, bool withTwin);

    std::unique_ptr<ISimLine> line_;
    std::unique_ptr<ControllerCore> core_;
    std::unique_ptr<CleanTwin> twin_;
    std::mutex lock_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::string path_;
};

}  // namespace lum::sim
