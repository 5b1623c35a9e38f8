#include "terminal/Terminal.h"

#include "common/Cp1251.h"

namespace lum {
namespace {

constexpr char kCarriageReturn = '\x0D';

const std::string& CutMarkBytes() {
    static const std::string bytes = Utf8ToCp1251(kCutMark);
    return bytes;
}

}  // namespace

Terminal::Terminal(IClock& clock, ILogFile& log, DateTimeSeparators separators)
    : clock_(clock), log_(log), separators_(separators) {}

void Terminal::LineStep(std::string& buffer) {
    std::size_t pos = 0;
    const bool loggedBefore = logActive_;
    for (;;) {
        if (overlong_) {
            // The rest of a cut line ends at the next start byte or carriage return.
            std::size_t stop = buffer.find_first_of(std::string_view("\x10\x0D", 2), pos);
            if (stop == std::string::npos) break;
            if (buffer[stop] == kCarriageReturn) ++stop;
            if (stop > pos) Entry(std::string_view(buffer).substr(pos, stop - pos), true);
            pos = stop;
            overlong_ = false;
            continue;
        }
        const std::size_t end = buffer.find(kCarriageReturn, pos);
        if (end == std::string::npos) break;
        Entry(std::string_view(buffer).substr(pos, end + 1 - pos), false);
        pos = end + 1;
    }
    buffer.erase(0, pos);
    if (buffer.size() > kLineLimit) {
        Entry(buffer, true);
        buffer.clear();
        overlong_ = true;
    }
    if (loggedBefore && logActive_) {
        try {
            log_.Flush();
        } catch (const LogFileError& e) {
            FailLog(e);
        }
    }
}

void Terminal::Entry(std::string_view text, bool cut) {
    std::string line;
    if (showData_) {
        line = FormatEntry(lineCount_, clock_.Now(), separators_, text);
        if (cut) line += CutMarkBytes();
        Show(line);
    }
    if (logActive_) {
        line = FormatEntry(lineCount_, clock_.Now(), separators_, text);
        if (cut) line += CutMarkBytes();
        try {
            log_.WriteLine(line);
        } catch (const LogFileError& e) {
            FailLog(e);
        }
    }
    ++lineCount_;
}

void Terminal::SentFrame(std::string_view line) {
    Show(line);
}

void Terminal::Show(std::string_view raw) {
    const bool wasEmpty = pending_.empty() && pendingLines_ == 0;
    if (pendingLines_ > 0) pending_ += '\n';
    AppendVisible(pending_, raw);
    ++pendingLines_;
    if (wasEmpty && PendingChanged) PendingChanged();
}

std::string Terminal::TakeBatch() {
    std::string batch;
    batch.swap(pending_);
    pendingLines_ = 0;
    return batch;
}

void Terminal::ClearScreen() {
    pending_.clear();
    pendingLines_ = 0;
}

LogSwitchOutcome Terminal::LogSwitchChange(bool switch1, bool switch3) {
    LogSwitchOutcome out;
    if (logFileName_.empty()) {
        showData_ = false;
        out.Warn = out.SwitchesOff = out.DisplayOff = true;
        return out;
    }
    try {
        if (switch1 || switch3) {
            logActive_ = true;
            if (!log_.IsOpen()) log_.Open(logFileName_);
        } else {
            logActive_ = false;
            log_.Close();
        }
    } catch (const LogFileError& e) {
        FailLog(e);
        out.SwitchesOff = true;
    }
    return out;
}

bool Terminal::SetLogFileName(std::string name) {
    const bool reopen = log_.IsOpen() && name != logFileName_;
    logFileName_ = std::move(name);
    if (!reopen) return logActive_;
    try {
        log_.Close();
        log_.Open(logFileName_);
    } catch (const LogFileError& e) {
        FailLog(e);
        return false;
    }
    return logActive_;
}

void Terminal::FailLog(const LogFileError& e) {
    logActive_ = false;
    try {
        log_.Close();
    } catch (const LogFileError&) {
        // The first failure is the one the user sees.
    }
    if (!error_) error_ = e.what();
    if (LogFailed) LogFailed();
}

std::optional<std::string> Terminal::TakeError() {
    std::optional<std::string> e;
    e.swap(error_);
    return e;
}

}  // namespace lum
