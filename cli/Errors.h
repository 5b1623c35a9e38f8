#pragma once
// lumctl's exit codes and the error that carries one up to the entry.
// Pure, any thread.
#include <stdexcept>
#include <string>

#include "common/Dialogs.h"
#include "terminal/Outcome.h"

namespace lum::cli {

inline constexpr int ExitDone = 0;
inline constexpr int ExitNoController = 1;   // no controller, or the port failed
inline constexpr int ExitBadArguments = 2;   // bad arguments or a bad file
inline constexpr int ExitVerifyFailed = 3;   // verification (or diff) found a difference
inline constexpr int ExitInterrupted = 130;  // Ctrl-C
inline constexpr int ExitClosedPipe = 141;   // the reader of standard output has gone (as SIGPIPE)

// The message is printed on stderr as it is, then the program ends with `code`.
class CliError : public std::runtime_error {
  public:
    CliError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};

// The exit code of an outcome.
inline int ExitCodeOf(OutcomeKind kind) {
    switch (kind) {
        case OutcomeKind::Done: return ExitDone;
        case OutcomeKind::Mismatch: return ExitVerifyFailed;
        case OutcomeKind::Interrupted: return ExitInterrupted;
        case OutcomeKind::NoController:
        case OutcomeKind::Disagreement:
        case OutcomeKind::CutOff:
        case OutcomeKind::NotVerified: break;
    }
    return ExitNoController;
}

// Raises the CliError of an outcome that is not Done.
inline void RequireDone(const Outcome& outcome) {
    if (!outcome.Ok()) throw CliError(ExitCodeOf(outcome.kind), outcome.text);
}

}  // namespace lum::cli
