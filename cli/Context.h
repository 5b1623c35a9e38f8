#pragma once
// What every lumctl command shares: the global options, the controller session (opened on
// first use, on the port or on the built-in simulated controller), the model whose
// catalogue decodes the configuration, and progress on stderr.
//
// Threads: main thread only.
#include <chrono>
#include <cstdint>
#include <ostream>
#include <memory>
#include <optional>
#include <string>

#include "sim/Demo.h"
#include "cli/Session.h"
#include "params/Transfer.h"

namespace lum::cli {

struct GlobalOptions {
    std::string port;
    bool demo = false;
    std::optional<int> model;   // --model: the catalogue (and the demo controller's model)
    std::string servicePassword;
    bool trace = false;         // frames both ways on stderr
    int demoInterval = 250;     // ms between the demo controller's status records
    int statusTimeout = 5000;   // ms to wait for the first status record
    bool quiet = false;         // -q: only errors and the data asked for
    bool verbose = false;       // -v: the session's steps on stderr
};

class Context {
  public:
    Context(GlobalOptions options, std::ostream& out, std::ostream& err);
    ~Context();

    const GlobalOptions& Options() const { return options_; }
    std::ostream& Out() { return out_; }
    std::ostream& Err() { return err_; }
    // Confirmations and change lists: standard output, nothing with -q.
    std::ostream& Info() { return options_.quiet ? silent_ : out_; }
    // The session's steps: stderr with -v, nothing otherwise.
    std::ostream& Detail() { return options_.verbose ? err_ : silent_; }

    // The session, opened on first use: CliError(2) without -p or --demo, CliError(1) when
    // the port cannot be opened.
    Session& Open();
    // The catalogue's model: --model, else the model of the first status record (waits for
    // it). A code without a catalogue: CliError(1).
    std::uint8_t Model();

    // Progress of a transfer on stderr, only when stderr is a terminal.
    TransferProgressFn Progress(const std::string& caption);
    void Progress(const std::string& caption, int position);
    // Ends the progress line; with -v says once that the link stopped chaining requests.
    void EndProgress();

  private:
    GlobalOptions options_;
    std::ostream& out_;
    std::ostream& err_;
    std::ostream silent_{nullptr};
    sim::DemoController demo_;
    std::unique_ptr<Session> session_;
    bool progressShown_ = false;
    bool saidChainingOff_ = false;
};

}  // namespace lum::cli
