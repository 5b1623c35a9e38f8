// controller-sim: a generator auto-start controller on a pseudo-terminal or a serial
// device, for trying the tool without hardware and for tests. See --help.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <iostream>
#include <mutex>
#include <random>

#include "lum_version.h"
#include "sim/PosixLine.h"
#include "sim/SimOptions.h"
#include "sim/SimLoop.h"

namespace {

std::atomic<bool> gStop{false};
int gWakeFd = -1;

void OnSignal(int) {
    gStop = true;
    const char b = 1;
    [[maybe_unused]] const auto n = write(gWakeFd, &b, 1);
}

std::string Now() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%H:%M:%S", &tm);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace lum::sim;
    CommandLine line;
    try {
        line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "controller-sim: " << e.what() << "\n";
        return 2;
    }
    if (line.help) {
        std::cout << HelpText();
        return 0;
    }
    if (line.version) {
        std::cout << "controller-sim " << LUM_VERSION << " (ревизия " << LUM_GIT_REVISION << ")\n";
        return 0;
    }
    if (!line.seedGiven) line.options.seed = std::random_device{}() & 0x7FFFFFFF;
    line.options.clock = LocalClock();

    std::unique_ptr<PosixLine> port;
    try {
        port = line.device.empty() ? PosixLine::OpenPty() : PosixLine::OpenDevice(line.device);
        if (!line.link.empty()) MakeLink(line.link, port->Path());
    } catch (const std::exception& e) {
        std::cerr << "controller-sim: " << e.what() << "\n";
        return 1;
    }
    std::mutex logLock;
    const auto log = [&logLock](const std::string& text) {
        std::lock_guard guard(logLock);
        std::cerr << Now() << " " << text << "\n";
    };
    std::unique_ptr<ControllerCore> core;
    try {
        core = std::make_unique<ControllerCore>(line.options, std::chrono::steady_clock::now(), log);
    } catch (const std::exception& e) {
        std::cerr << "controller-sim: " << e.what() << "\n";
        return 1;
    }

    std::cout << port->Path() << std::endl;
    if (!line.link.empty()) std::cout << line.link << " -> " << port->Path() << std::endl;
    log("модель " + std::to_string(line.options.model) + ", период " +
        std::to_string(line.options.interval.count()) + " мс, зерно " + std::to_string(line.options.seed));

    gWakeFd = port->InterruptFd();
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::mutex coreLock;
    RunLoop(*core, *port, gStop, coreLock);

    const SimStats& s = core->Stats();
    log("итог: кадров состояния " + std::to_string(s.statusFrames) + ", ответов " +
        std::to_string(s.replies) + ", запросов " + std::to_string(s.requests) + ", вне окна " +
        std::to_string(s.late) + ", пропущено " + std::to_string(s.dropped) + ", ошибочных " +
        std::to_string(s.badRequests) + ", искажено символов " + std::to_string(s.corruptedChars) +
        ", не ушло байт " + std::to_string(port->DroppedBytes()));
    if (!line.link.empty()) unlink(line.link.c_str());
    return 0;
}
