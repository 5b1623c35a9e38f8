#pragma once
// Test helper: the simulated controller on a pseudo-terminal behind a fixed path (a symbolic
// link, as `controller-sim --link PATH` makes it). Stop() ends it and its pseudo-terminal goes,
// as when the program is killed; Start() brings it back on a new pseudo-terminal behind the
// same path. POSIX. Owner thread only.
#include <unistd.h>

#include <stdexcept>
#include <string>

#include "sim/SimRunner.h"

namespace lum::test {

class LinkedController {
  public:
    LinkedController(std::string link, sim::SimOptions options) : link_(std::move(link)), options_(options) {
        Start();
    }
    ~LinkedController() {
        sim_.Stop();
        ::unlink(link_.c_str());
    }
    LinkedController(const LinkedController&) = delete;
    LinkedController& operator=(const LinkedController&) = delete;

    void Start() {
        const std::string pty = sim_.Start(options_);
        ::unlink(link_.c_str());
        if (::symlink(pty.c_str(), link_.c_str()) != 0) throw std::runtime_error("symlink " + link_);
    }
    void Stop() { sim_.Stop(); }
    const std::string& Link() const { return link_; }

  private:
    std::string link_;
    sim::SimOptions options_;
    sim::SimRunner sim_;
};

}  // namespace lum::test
