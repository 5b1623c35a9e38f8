#pragma once
// lumctl's command line: CLI11 parses it, the chosen command runs, and every failure ends
// in one of the documented exit codes (cli/Errors.h). Help texts, with an example for
// each command, come from here.
//
// Threads: main thread only.
#include <iosfwd>

namespace lum::cli {

int RunLumctl(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace lum::cli
