#pragma once
// lumctl's exit codes and the error that carries one up to the entry.
// Pure, any thread.
#include <stdexcept>
#include <string>

#include "common/Dialogs.h"

namespace lum::cli {

inline constexpr int ExitDone = 0;
inline constexpr int ExitNoController = 1;   // no controller, or the port failed
inline constexpr int ExitBadArguments = 2;   // bad arguments or a bad file
inline constexpr int ExitVerifyFailed = 3;   // verification (or diff) found a difference
inline constexpr int ExitInterrupted = 130;  // Ctrl-C

// The message is printed on stderr as it is, then the program ends with `code`.
class CliError : public std::runtime_error {
  public:
    CliError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};


}  // namespace lum::cli
