#include "terminal/LogFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/AtomicFile.h"
#include "common/SystemErrorText.h"

namespace lum {
namespace {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

StdLogFile::~StdLogFile() {
    try {
        Close();
    } catch (const LogFileError&) {
        // Nobody is left to tell.
    }
}

void StdLogFile::Fail(std::string_view action, int error) {
    throw LogFileError(FileErrorText(action, path_, error != 0 ? ErrnoText(error) : std::string()));
}

void StdLogFile::Open(const std::string& path) {
    Close();
    path_ = path;
    errno = 0;
    out_.clear();
    // Binary: the lines keep their bytes (the frame's CR, then LF) on every system; a text-mode
    // stream on Windows would turn LF into CR LF.
    out_.open(PathFromUtf8(path), std::ios::out | std::ios::app | std::ios::binary);
    if (!out_.is_open()) {
        const int error = errno;
        out_.clear();
        Fail("Не удалось открыть LOG-файл", error);
    }
}

void StdLogFile::WriteLine(std::string_view text) {
    errno = 0;
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    out_.put('\n');
    if (!out_) Fail("Не удалось записать LOG-файл", errno);
}

void StdLogFile::Flush() {
    errno = 0;
    out_.flush();
    if (!out_) Fail("Не удалось записать LOG-файл", errno);
}

void StdLogFile::Close() {
    if (!out_.is_open()) return;
    errno = 0;
    out_.close();
    const bool failed = out_.fail();
    const int error = errno;
    out_.clear();
    if (failed) Fail("Не удалось закрыть LOG-файл", error);
}

}  // namespace lum
