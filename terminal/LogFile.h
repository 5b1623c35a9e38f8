#pragma once
// The traffic log file behind a small interface, so the terminal can be tested with a
// file that fails on demand. The log is only ever appended to: opening an existing file
// keeps its lines, a missing file is created.
//
// Threads: main thread only.
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lum {

// A failure to open, write or close the log; what() is the message the user sees.
class LogFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ILogFile {
  public:
    virtual ~ILogFile() = default;
    virtual bool IsOpen() const = 0;
    // Opens `path` (UTF-8) for appending at its end, creating it when missing. Throws LogFileError.
    virtual void Open(const std::string& path) = 0;
    // Writes one text line: the text and LF. Throws LogFileError.
    virtual void WriteLine(std::string_view text) = 0;
    // Hands what was written to the system. Throws LogFileError.
    virtual void Flush() = 0;
    // Closes the file (nothing when it is not open). Throws LogFileError when the last
    // lines could not be written; the file is closed all the same.
    virtual void Close() = 0;
};

// The log as a file on disk, opened in binary mode: a line ends in LF on every system, and
// a received line keeps its own CR before it. Errors are worded as every file failure is
// (FileErrorText): "Не удалось записать LOG-файл «PATH»: REASON".
class StdLogFile : public ILogFile {
  public:
    ~StdLogFile() override;
    bool IsOpen() const override { return out_.is_open(); }
    void Open(const std::string& path) override;
    void WriteLine(std::string_view text) override;
    void Flush() override;
    void Close() override;

  private:
    [[noreturn]] void Fail(std::string_view action, int error);
    std::ofstream out_;
    std::string path_;
};

}  // namespace lum
