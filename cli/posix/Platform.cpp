// lumctl on POSIX: sigaction for Ctrl-C, write(2) for standard output and files in place,
// poll for a pipe without a reader, isatty, the adapter names under /sys/class/tty.
#include "cli/Platform.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace lum::cli {
namespace {

void OnSignal(int) {
    RequestInterrupt();
}

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (in) std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n')) line.pop_back();
    return line;
}

// The system's text for an error number (the one place lumctl maps errno).
std::string SystemText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

bool WriteAll(int fd, std::string_view data, int& error) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsole() {}

bool WriteStdout(std::string_view data, std::string& reason, bool& closedPipe) {
    int error = 0;
    if (WriteAll(STDOUT_FILENO, data, error)) return true;
    closedPipe = error == EPIPE;
    reason = SystemText(error);
    return false;
}

bool StdoutReaderGone() {
    pollfd fd{STDOUT_FILENO, 0, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLERR) != 0;
}

void EndForClosedPipe() {
    signal(SIGPIPE, SIG_DFL);
    raise(SIGPIPE);
    _exit(128 + SIGPIPE);
}

bool WriteInPlace(const std::string& path, std::string_view data, std::string& reason) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        reason = SystemText(errno);
        return false;
    }
    int error = 0;
    bool written = WriteAll(fd, data, error);
    if (::close(fd) != 0 && written && errno != EINTR) {
        error = errno;
        written = false;
    }
    if (!written) reason = SystemText(error);
    return written;
}

std::string PortOpenReason(int systemError) {
    switch (systemError) {
        case ENOENT: case ENODEV: case ENXIO: case ENOTDIR: return "не найден";
        case EBUSY: case EWOULDBLOCK: return "занят другой программой";
        case ENOTTY: case EINVAL: case EISDIR: return "не последовательный порт";
        case EACCES: case EPERM: return "нет доступа";
        default: return {};
    }
}

void InstallInterruptHandler() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

bool StdoutIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

std::string PortDescription(const std::string& devicePath) {
    const auto slash = devicePath.rfind('/');
    const std::string name = devicePath.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string base = "/sys/class/tty/" + name + "/device/";
    // A USB adapter: the interface's name, else the product of the device above it.
    for (const char* file : {"interface", "../interface", "../product", "../../product"}) {
        std::string text = FirstLine(base + file);
        if (!text.empty()) return text;
    }
    // A UART on the board: its type number as the kernel reports it.
    const std::string type = FirstLine("/sys/class/tty/" + name + "/type");
    if (!type.empty() && type != "0") return "UART (тип " + type + ")";
    return {};
}

}  // namespace lum::cli
