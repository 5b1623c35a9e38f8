#pragma once
// Where lumctl's results go: standard output through a buffer whose every write is checked,
// and the file of `-o`, written as the kind of file it names.
//
// Threads: main thread only.
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace lum::cli {

// Standard output, buffered and written straight to the system. The first failed write is
// kept (the stream then goes bad and stays so): Failed(), its reason, and whether the
// reader of a pipe had gone.
class StdoutBuffer : public std::streambuf {
  public:
    ~StdoutBuffer() override;
    bool Failed() const { return failed_; }
    bool ClosedPipe() const { return closedPipe_; }
    const std::string& Reason() const { return reason_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

  private:
    bool Flush();
    std::string pending_;
    bool failed_ = false, closedPipe_ = false;
    std::string reason_;
};

// Writes a command's result to the file `path` names (UTF-8):
//  - a regular file, or a name where nothing is yet: replaced atomically (the one file
//    writer), keeping the mode of the file it replaces;
//  - a symbolic link: followed, its target written as above;
//  - anything else (a device, a FIFO): written in place as a stream;
//  - "-": standard output (`out`).
// Raises CliError(2) naming the path and the system's reason.
void WriteOutputFile(const std::string& path, std::string_view content, std::ostream& out);

// The whole of a file the user named (UTF-8 path). CliError(2) naming the path: a folder,
// a missing or unreadable file.
std::string ReadInputFile(const std::string& path);

}  // namespace lum::cli
