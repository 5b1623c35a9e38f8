// Round trip over a serial port whose other end echoes (tests/wine's wine-pty-peer): the time from
// WriteString of a 30-character frame to OnDataRecived on the main thread having the echoed frame's
// last byte (p50, p99, max over N frames at a steady pace). It builds on every system, so the same
// figure can be taken natively and for the Windows build under wine (bench/wine-roundtrip.sh runs
// both); a pseudo-terminal has no baud-rate timing, so it shows the port's own delays both ways.
//
// Usage: bench_serial_roundtrip PORT [frames=300] [pace_ms=10]   (PORT: COMn or a device path)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "common/MainLoop.h"
#include "serial/ComPort.h"
#include "serial/SafeSync.h"

namespace {

using Clock = std::chrono::steady_clock;

double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0;
    const auto at = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(at, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PORT [frames] [pace_ms]\n", argv[0]);
        return 2;
    }
    const std::string name = argv[1];
    const int frames = argc > 2 ? std::atoi(argv[2]) : 300;
    const int paceMs = argc > 3 ? std::atoi(argv[3]) : 10;

    lum::MainLoop loop;
    lum::UseMainLoopForSafeSync(loop);
    lum::TComPort port;
    port.SetBaudRate(lum::br9600);
    if (name.rfind("COM", 0) == 0) {
        port.SetComNumber(std::atoi(name.c_str() + 3));
    } else {
        port.SetDevicePath(name);
    }
    int got = 0;
    Clock::time_point sentAt;
    std::vector<double> latencyMs;
    port.OnDataRecived = [&](lum::TCustomSerialPort*, std::uint32_t) {
        const std::string bytes = port.ReadString();
        const auto now = Clock::now();
        for (char c : bytes) {
            if (c != '\r') continue;
            ++got;
            latencyMs.push_back(std::chrono::duration<double, std::milli>(now - sentAt).count());
        }
    };
    try {
        port.Open();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    // A status frame as the controller sends it: start byte, 28 hex digits, carriage return.
    const std::string frame =
        "\x10"
        "0115001C00E60000000000001234"
        "\r";
    bool all = true;
    const auto start = Clock::now();
    for (int i = 0; i < frames && all; ++i) {
        loop.RunUntil([] { return false; },
                      std::max(std::chrono::milliseconds(0),
                               std::chrono::duration_cast<std::chrono::milliseconds>(
                                   start + std::chrono::milliseconds(paceMs) * i - Clock::now())));
        sentAt = Clock::now();
        port.WriteString(frame);
        all = loop.RunUntil([&] { return got == i + 1; }, std::chrono::seconds(5));
    }
    if (!all) std::printf("only %d of %d frames came back\n", got, frames);
    std::sort(latencyMs.begin(), latencyMs.end());
    std::printf("port %s: %d frames of %zu characters, one every %d ms\n", name.c_str(), got, frame.size(),
                paceMs);
    std::printf("round trip WriteString -> echo in OnDataRecived (ms): p50 %.3f  p99 %.3f  max %.3f\n",
                Percentile(latencyMs, 0.50), Percentile(latencyMs, 0.99),
                latencyMs.empty() ? 0.0 : latencyMs.back());
    port.Close();
    lum::SafeSync::SetWaker(nullptr);
    return all ? 0 : 1;
}
