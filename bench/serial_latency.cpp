// Serial port figures over a pseudo-terminal pair:
//  1. latency from the controller's write of a frame to OnDataRecived on the main thread having the
//     frame's last byte (p50, p99, max over N frames of 30 characters sent at a steady pace);
//  2. CPU time the process uses while a port is open and idle.
//
// A pseudo-terminal has no baud-rate timing: bytes arrive at once, so the figures show the port's own
// delay (line-event wait, delivery to the main thread), not the line's.
//
// Each figure is taken once per delivery path (bench/support/Delivery.h): the plain main loop,
// and Qt's event loop as the window delivers.
//
// Usage: bench_serial_latency [frames=1000] [pace_ms=20] [idle_s=10]
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/Delivery.h"
#include "serial/ComPort.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> sorted, double p) {
    if (sorted.empty()) return 0;
    const auto at = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(at, sorted.size() - 1)];
}

bool Measure(lum::bench::Delivery& delivery, int frames, int paceMs, int idleS) {
    int master = -1, slave = -1;
    char name[128];
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return false;
    }

    lum::TComPort port;
    port.SetBaudRate(lum::br9600);
    port.SetDevicePath(name);

    std::vector<Clock::time_point> sentAt(static_cast<std::size_t>(frames));
    std::vector<Clock::time_point> gotAt(static_cast<std::size_t>(frames));
    int got = 0;
    port.OnDataRecived = [&](lum::TCustomSerialPort*, std::uint32_t) {
        const std::string bytes = port.ReadString();
        const auto now = Clock::now();
        for (char c : bytes) {
            if (c == '\r' && got < frames) gotAt[static_cast<std::size_t>(got++)] = now;
        }
    };
    port.Open();

    // A status frame as the controller sends it: start byte, 28 hex digits, carriage return.
    const std::string frame =
        "\x10"
        "0115001C00E60000000000001234"
        "\r";
    std::thread controller([&] {
        const auto start = Clock::now();
        for (int i = 0; i < frames; ++i) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(paceMs) * i);
            sentAt[static_cast<std::size_t>(i)] = Clock::now();
            std::size_t done = 0;
            while (done < frame.size()) {
                const ssize_t n = ::write(master, frame.data() + done, frame.size() - done);
                if (n > 0) done += static_cast<std::size_t>(n);
            }
        }
    });
    const bool all = delivery.RunUntil([&] { return got == frames; },
                                       std::chrono::milliseconds(paceMs) * frames + std::chrono::seconds(30));
    controller.join();
    std::printf("--- delivery through the %s\n", delivery.Name().c_str());
    if (!all) std::printf("only %d of %d frames arrived\n", got, frames);

    std::vector<double> latencyMs;
    for (int i = 0; i < got; ++i) {
        const auto d = gotAt[static_cast<std::size_t>(i)] - sentAt[static_cast<std::size_t>(i)];
        latencyMs.push_back(std::chrono::duration<double, std::milli>(d).count());
    }
    std::sort(latencyMs.begin(), latencyMs.end());
    std::printf("frames: %d of %zu characters, one every %d ms\n", got, frame.size(), paceMs);
    std::printf("latency write -> OnDataRecived (ms): p50 %.3f  p99 %.3f  max %.3f   (target p99 < 5)\n",
                Percentile(latencyMs, 0.50), Percentile(latencyMs, 0.99),
                latencyMs.empty() ? 0.0 : latencyMs.back());

    // An open port with nothing on the line.
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = Clock::now();
    delivery.RunFor(std::chrono::seconds(idleS));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    std::printf("idle open port: %.4f s CPU over %.1f s = %.3f %% of one core   (target < 0.5 %%)\n", cpu,
                wall, 100.0 * cpu / wall);

    port.Close();
    ::close(master);
    ::close(slave);
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int paceMs = argc > 2 ? std::atoi(argv[2]) : 20;
    const int idleS = argc > 3 ? std::atoi(argv[3]) : 10;

    bool all = true;
    for (const auto& make : lum::bench::DeliveryPaths()) {
        const auto delivery = make();
        all = Measure(*delivery, frames, paceMs, idleS) && all;
    }
    return all ? 0 : 1;
}
