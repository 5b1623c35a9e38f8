#pragma once
// Configuration files: the 256 bytes of the configuration image as decimal text, 16
// values a line, each value padded with spaces to 4 characters, every line ended by
// CR LF. The file carries no names, model or header.
//
// Reading is strict and checks the whole text before anything is used: exactly 256
// decimal integers from 0 to 255, separated by blanks, tabs or line ends; anything else
// is refused with the line and the token named. Saving replaces the target only once the
// new file is complete.
//
// Threads: any thread; the file functions touch only the paths they are given.
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/AtomicFile.h"
#include "params/Packing.h"

namespace lum {

// A file that cannot be read, written or used as a configuration; the message says which
// file, line and token.
class ConfigFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The file text of an image: 16 lines of 64 characters, each followed by CR LF.
std::string FormatConfigFile(const ConfigImage& image);

// The image a file text holds. ConfigFileError for a token that is not a decimal integer,
// a value outside 0..255, or more or fewer than 256 values (lines counted from 1).
ConfigImage ParseConfigFile(std::string_view text);

// The path a configuration is saved to, for the name the save dialog returned: ".txt"
// appended unless the name already ends in it (letters in any case; WithSuffix).
std::string ConfigFilePath(const std::string& dialogName);

// The main window's title after a save under `dialogName`: the name as the dialog
// returned it.
std::string TitleAfterSave(const std::string& dialogName);

// The whole content of a file; ConfigFileError naming the file when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Saves an image to `path` in the file layout (WriteFileAtomically; FileError).
void SaveConfigFile(const std::string& path, const ConfigImage& image);
// Reads and checks a configuration file.
ConfigImage LoadConfigFile(const std::string& path);

}  // namespace lum
