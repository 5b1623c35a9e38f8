#pragma once
// The one way the tool writes a file: the bytes go to a temporary file in the target's
// folder, which is flushed and renamed over the target once complete. A failure leaves an
// earlier file as it was and no temporary behind; a file that existed keeps its permissions.
//
// Threads: any thread; touches only the path it is given and its temporary.
#include <stdexcept>
#include <string>
#include <string_view>

namespace lum {

// A file that could not be written; what() names the user's file and gives the system's reason.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The wording of every file failure: "ACTION «PATH»: REASON" (no reason: "ACTION «PATH»").
std::string FileErrorText(std::string_view action, const std::string& path, const std::string& reason);

// Writes `content` to `path` (UTF-8) as above. Raises FileError.
void WriteFileAtomically(const std::string& path, std::string_view content);

// `name` with `suffix` (".txt", ".csv") appended unless it already ends in it, letters in any case.
std::string WithSuffix(const std::string& name, std::string_view suffix);

}  // namespace lum
