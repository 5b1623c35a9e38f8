#pragma once
// A terminal wired to a receive path as the window wires it, with a clock that moves one
// millisecond per reading and a log file that records its lines and fails on demand.
#include <optional>
#include <string>
#include <vector>

#include "link/ReceivePath.h"
#include "terminal/Terminal.h"

namespace lum::test {

class StepClock : public IClock {
  public:
    LocalTime Now() override {
        LocalTime t = next;
        if (++next.Millisecond == 1000) {
            next.Millisecond = 0;
            ++next.Second;
        }
        ++readings;
        return t;
    }
    LocalTime next{8, 12, 22, 15, 30, 0};
    int readings = 0;
};

class MemoryLog : public ILogFile {
  public:
    bool IsOpen() const override { return open; }
    void Open(const std::string& path) override {
        ++opens;
        if (failOpen) throw LogFileError("cannot open " + path);
        open = true;
    }
    void WriteLine(std::string_view text) override {
        ++writes;
        if (failWriteAt && writes >= *failWriteAt) throw LogFileError("disk full");
        lines.emplace_back(text);
    }
    void Flush() override {}
    void Close() override { open = false; }

    bool open = false;
    bool failOpen = false;
    std::optional<int> failWriteAt;  // the write (1-based) from which every write fails
    int opens = 0;
    int writes = 0;
    std::vector<std::string> lines;
};

struct TerminalRig {
    StepClock clock;
    MemoryLog log;
    Terminal term{clock, log};
    LinkState state;
    ReceivePath rx{state};
    int pendingSignals = 0;
    int failures = 0;

    TerminalRig() {
        rx.LineStep = [this](std::string& buffer) { term.LineStep(buffer); };
        term.PendingChanged = [this] { ++pendingSignals; };
        term.LogFailed = [this] { ++failures; };
    }
    // The shown lines taken so far (one batch per call).
    std::vector<std::string> Shown() {
        std::vector<std::string> out;
        const std::string batch = term.TakeBatch();
        std::size_t pos = 0;
        while (!batch.empty() && pos <= batch.size()) {
            const std::size_t nl = batch.find('\n', pos);
            out.push_back(batch.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
            if (nl == std::string::npos) break;
            pos = nl + 1;
        }
        return out;
    }
};

}  // namespace lum::test
