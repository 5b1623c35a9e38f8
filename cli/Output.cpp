#include "cli/Output.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/Errors.h"
#include "cli/Platform.h"
#include "common/AtomicFile.h"

namespace lum::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFlushAt = 8192;
constexpr int kMaxLinks = 40;

fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

[[noreturn]] void Refuse(std::string_view action, const std::string& path, const std::string& reason) {
    throw CliError(ExitBadArguments, FileErrorText(action, path, reason));
}

// The file a chain of symbolic links ends at (which may not exist yet).
fs::path FollowLinks(const std::string& path) {
    fs::path p = PathOf(path);
    std::error_code ec;
    for (int i = 0; fs::is_symlink(fs::symlink_status(p, ec)); ++i) {
        if (i == kMaxLinks) Refuse("Не удалось записать файл", path, "слишком много символических ссылок");
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) Refuse("Не удалось записать файл", path, ec.message());
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p;
}

}  // namespace

StdoutBuffer::~StdoutBuffer() {
    Flush();
}

bool StdoutBuffer::Flush() {
    if (failed_) return false;
    if (pending_.empty()) return true;
    if (!WriteStdout(pending_, reason_, closedPipe_)) failed_ = true;
    pending_.clear();
    return !failed_;
}

StdoutBuffer::int_type StdoutBuffer::overflow(int_type c) {
    if (failed_) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) pending_ += traits_type::to_char_type(c);
    if (pending_.size() >= kFlushAt && !Flush()) return traits_type::eof();
    return traits_type::not_eof(c);
}

std::streamsize StdoutBuffer::xsputn(const char* s, std::streamsize n) {
    if (failed_) return 0;
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.size() >= kFlushAt && !Flush()) return 0;
    return n;
}

int StdoutBuffer::sync() {
    return Flush() ? 0 : -1;
}

void WriteOutputFile(const std::string& path, std::string_view content, std::ostream& out) {
    if (path.empty()) throw CliError(ExitBadArguments, "-o: пустое имя файла");
    if (path == "-") {
        out << content << std::flush;
        return;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(PathOf(path), ec);  // links followed
    if (fs::is_directory(status)) Refuse("Не удалось записать файл", path, "это папка");
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        std::string reason;
        if (!WriteInPlace(path, content, reason)) Refuse("Не удалось записать файл", path, reason);
        return;
    }
    try {
        WriteFileAtomically(Utf8Of(FollowLinks(path)), content);
    } catch (const FileError& e) {
        throw CliError(ExitBadArguments, e.what());
    }
}

std::string ReadInputFile(const std::string& path) {
    const fs::path p = PathOf(path);
    std::error_code ec;
    if (fs::is_directory(p, ec)) Refuse("Не удалось открыть файл", path, "это папка, а не файл");
    errno = 0;
    std::ifstream in(p, std::ios::binary);
    if (!in) Refuse("Не удалось открыть файл", path, std::make_error_code(std::errc(errno ? errno : ENOENT)).message());
    std::string content;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) content.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) Refuse("Не удалось прочитать файл", path, {});
    return content;
}

}  // namespace lum::cli
