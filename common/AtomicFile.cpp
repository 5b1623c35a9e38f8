#include "common/AtomicFile.h"

#include "common/SystemErrorText.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace lum {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kWriteFailed = "Не удалось записать файл";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

[[noreturn]] void Fail(const std::string& path, const fs::path& temp, const std::string& reason) {
    std::error_code ignored;
    if (!temp.empty()) fs::remove(temp, ignored);
    throw FileError(FileErrorText(kWriteFailed, path, reason));
}

// A std::error_code's text: through ErrnoText when it stands for an errno value.
std::string ErrorCodeText(const std::error_code& ec) {
    const std::error_condition c = ec.default_error_condition();
    return c.category() == std::generic_category() ? ErrnoText(c.value()) : ec.message();
}

std::string Reason(int error) { return error != 0 ? ErrnoText(error) : std::string(); }

}  // namespace

std::string FileErrorText(std::string_view action, const std::string& path, const std::string& reason) {
    std::string text = std::string(action) + " «" + path + "»";
    if (!reason.empty()) text += ": " + reason;
    return text;
}

void WriteFileAtomically(const std::string& path, std::string_view content) {
    const fs::path target(std::u8string(path.begin(), path.end()));
    std::error_code ec;
    if (fs::is_directory(target, ec)) Fail(path, {}, ErrnoText(static_cast<int>(std::errc::is_a_directory)));
    const fs::file_status existing = fs::status(target, ec);
    std::random_device rd;
    const fs::path temp = target.parent_path() / (u8"." + target.filename().u8string() + u8".tmp" +
                                                  fs::path(std::to_string(rd() % 1000000)).u8string());
    {
        errno = 0;
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) Fail(path, {}, Reason(errno));
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        const int error = errno;
        out.close();
        if (!out) Fail(path, temp, Reason(error));
    }
    if (fs::exists(existing)) fs::permissions(temp, existing.permissions(), ec);
    fs::rename(temp, target, ec);
    if (ec) Fail(path, temp, ErrorCodeText(ec));
}

std::string WithSuffix(const std::string& name, std::string_view suffix) {
    bool ends = name.size() >= suffix.size();
    for (std::size_t k = 0; ends && k < suffix.size(); ++k)
        ends = Lower(name[name.size() - suffix.size() + k]) == Lower(suffix[k]);
    return ends ? name : name + std::string(suffix);
}

}  // namespace lum
