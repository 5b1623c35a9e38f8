// lumctl on POSIX: sigaction for Ctrl-C, isatty, the adapter names under /sys/class/tty.
#include "cli/Platform.h"

#include <signal.h>
#include <unistd.h>

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

}  // namespace

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
