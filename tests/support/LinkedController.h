#pragma once
// Test helper: the simulated controller on a pseudo-terminal behind a fixed path, a symbolic link
// as `controller-sim --link PATH` makes it. Stop() ends it and its pseudo-terminal goes, and the link
// with it (a link left behind could name the next pseudo-terminal of another test); Start() brings
// it back on a new one behind the same path. POSIX; owner thread.
#include <unistd.h>

#include <stdexcept>

#include "sim/SimRunner.h"

namespace lum::test {

struct LinkedController {
    LinkedController(std::string path, int intervalMs) : link(std::move(path)) {
        options.interval = std::chrono::milliseconds(intervalMs);
        Start();
    }
    ~LinkedController() { Stop(); }
    void Start() {
        ::unlink(link.c_str());
        if (::symlink(sim.Start(options).c_str(), link.c_str()) != 0) throw std::runtime_error("symlink " + link);
    }
    void Stop() { sim.Stop(), ::unlink(link.c_str()); }
    std::string link;
    sim::SimOptions options;
    sim::SimRunner sim;
};

}  // namespace lum::test
