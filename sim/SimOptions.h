#pragma once
// The command line of controller-sim. Pure functions, any thread.
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/ControllerCore.h"

namespace lum::sim {

struct CommandLine {
    SimOptions options;
    std::string link;    // --link PATH: a symbolic link to the pseudo-terminal
    std::string device;  // --device PATH: a serial device instead of a pseudo-terminal
    bool help = false;
    bool version = false;  // --version
    bool seedGiven = false;
};

// A command line that cannot be used; the message says why.
class UsageError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Parses the arguments after the program name. Raises UsageError.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text --help prints.
std::string HelpText();

}  // namespace lum::sim
