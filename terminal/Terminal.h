#pragma once
// The terminal and the traffic log: what the "Терминал+лог" page shows and what goes into
// the log file, without the window.
//
// Received text arrives through LineStep, the receive path's line hook, after every chunk.
// Each line up to and including its carriage return becomes one entry
// "N dd/mm hh:nn:ss:zzz text" with its own time stamp; the rest of a chunk waits for its
// own carriage return. A line that passes kLineLimit characters without one is cut: what
// was gathered becomes one entry marked with kCutMark, and the rest of that line (up to the
// next start byte or carriage return) is marked the same way, so the frame after it starts
// an entry of its own. LineCount numbers the entries from 0 and is never reset; it counts
// every entry, shown, logged or neither.
//
// Entries go to the screen while ShowData is on and to the log while LogActive is on; sent
// frames (SentFrame) always go to the screen. The screen is fed in batches: entries wait in
// a pending batch that the window takes (TakeBatch) at display rate; PendingChanged tells it
// that a batch has begun.
//
// Log failures: an open, write or close error closes the log, clears LogActive and is kept
// for the window (TakeError) to show once; LogFailed tells it to switch both log switches
// off. Reception is never interrupted by the log.
//
// Threads: main thread only. The clock and the log file must outlive this object.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "terminal/LogFile.h"
#include "terminal/TerminalEntry.h"

namespace lum {

// Characters a line may gather without a carriage return before it is cut.
inline constexpr std::size_t kLineLimit = 4096;
// Appended to the text of a cut entry (UTF-8; the log holds it in code page 1251).
inline constexpr const char* kCutMark = " [строка обрезана]";
// The warning of a log switch turned on before a file name was chosen.
inline constexpr const char* kNoLogFileNameText = "Задайте имя LOG-файла";

// What the window must do after a log switch changed.
struct LogSwitchOutcome {
    bool Warn = false;         // show the warning kNoLogFileNameText (caption "Warning")
    bool SwitchesOff = false;  // turn both log switches off
    bool DisplayOff = false;   // turn the display switch off (ShowData is already off)
};

class Terminal {
  public:
    Terminal(IClock& clock, ILogFile& log, DateTimeSeparators separators = {});
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // The receive path's line hook: takes the complete (or cut) lines out of lineBuffer.
    void LineStep(std::string& lineBuffer);
    // A frame the program sent, as its echo line ("<< " or "<<" and the frame text): shown
    // whatever ShowData says, never logged, not numbered.
    void SentFrame(std::string_view line);

    // Display switch.
    bool ShowData() const { return showData_; }
    void SetShowData(bool on) { showData_ = on; }

    // Log file name (UTF-8); one name serves both log switches.
    const std::string& LogFileName() const { return logFileName_; }
    // Sets the name. While the log is open, the old file is closed and the new one opened
    // for appending, so the lines from now on go to the file just chosen; a failure to
    // open it switches logging off (LogFailed, TakeError). True when logging goes on.
    bool SetLogFileName(std::string name);
    // Either log switch changed; `switch1` and `switch3` are their states now.
    LogSwitchOutcome LogSwitchChange(bool switch1, bool switch3);
    bool LogActive() const { return logActive_; }
    bool LogOpen() const { return log_.IsOpen(); }

    std::uint32_t LineCount() const { return lineCount_; }

    // The entries and sent lines not yet on screen, as UTF-8 lines joined by '\n' (no
    // trailing line end), in the order they happened; the batch is emptied.
    std::string TakeBatch();
    bool HasPending() const { return !pending_.empty(); }
    // The screen was cleared: what was waiting for it goes too. Nothing else changes.
    void ClearScreen();

    // The log failure not yet shown, once.
    std::optional<std::string> TakeError();

    // Runs when the pending batch goes from empty to not empty.
    std::function<void()> PendingChanged;
    // Runs when a log failure switched logging off (the window turns both switches off
    // and shows TakeError()).
    std::function<void()> LogFailed;

    void SetSeparators(DateTimeSeparators separators) { separators_ = separators; }

  private:
    void Entry(std::string_view text, bool cut);
    void Show(std::string_view raw);
    void FailLog(const LogFileError& e);

    IClock& clock_;
    ILogFile& log_;
    DateTimeSeparators separators_;
    std::uint32_t lineCount_ = 0;
    bool showData_ = false;
    bool logActive_ = false;
    std::string logFileName_;
    bool overlong_ = false;  // the line being gathered was cut already
    std::string pending_;
    std::size_t pendingLines_ = 0;
    std::optional<std::string> error_;
};

}  // namespace lum
