// Benchmark of the link's waits, against the simulated controller on a pseudo-terminal
// opened with the serial port component:
//  1. the CPU the tool uses while a command waits out its 5 ticks on a silent line
//     (target: under 5 % of the wall time; a polling wait burns a whole core), and, for
//     comparison, a polling wait of the same length;
//  2. the time of four block reads at a 1000 ms status interval divided by the protocol
//     floor: the wait for the controller's next frame (which the first request must follow)
//     plus three intervals (target: at most 1.1; below 1.0 is impossible).
// Both once per delivery path (bench/support/Delivery.h): the plain main loop, and Qt's
// event loop as the window delivers and waits. Prints its figures; takes about two minutes.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/support/Delivery.h"
#include "device/DeviceLink.h"
#include "link/ReceivePath.h"
#include "link/Transactions.h"
#include "serial/ComPort.h"
#include "sim/SimRunner.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double CpuSeconds(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The tool's link on a port opened at `path`.
struct Tool {
    lum::TComPort port;
    lum::DeviceLink link;
    lum::LinkState& state = link.State;
    lum::Transactions& tx = link.Tx;
    int boxes = 0;  // commands that found no controller frame

    Tool(lum::IEventPump& pump, const std::string& path) : link(port, pump) {
        link.Tx.NoController = [this] { ++boxes; };
        link.Attach();
        port.SetBaudRate(lum::br9600);
        port.SetDevicePath(path);
        port.Open();
    }
    ~Tool() { port.Close(); }
};

void SilentLine(lum::bench::Delivery& delivery) {
    lum::sim::SimRunner sim;
    lum::sim::SimOptions options;
    options.silent = true;
    Tool tool(delivery.Pump(), sim.Start(options));

    constexpr int kCommands = 4;
    const double processCpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double threadCpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto wall0 = Clock::now();
    for (int i = 0; i < kCommands; ++i) tool.tx.SendCommand(32, 0, 0);
    const double wall = Seconds(Clock::now() - wall0);
    const double processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpu0;
    const double threadCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadCpu0;

    std::printf("1. command on a silent line (%d commands, 5 ticks of 300 ms each)\n", kCommands);
    std::printf("   boxes shown: %d, frames written: %lld\n", tool.boxes, tool.link.Writer.Writes);
    std::printf("   wall %.3f s (%.3f s per wait)\n", wall, wall / kCommands);
    std::printf("   CPU, waiting thread: %.4f s = %.3f %% of wall\n", threadCpu, 100.0 * threadCpu / wall);
    std::printf("   CPU, whole process (port threads and simulator included): %.4f s = %.3f %% of wall\n",
                processCpu, 100.0 * processCpu / wall);

    // The same wait as a poll: run what is pending and return at once, again and again.
    const double pollCpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto pollStart = Clock::now();
    while (Clock::now() - pollStart < 1500ms) delivery.Poll();
    const double pollWall = Seconds(Clock::now() - pollStart);
    const double pollCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - pollCpu0;
    std::printf("   for comparison, a polling wait of %.3f s: CPU %.3f s = %.1f %% of wall\n", pollWall,
                pollCpu, 100.0 * pollCpu / pollWall);
}

void FourReads(lum::bench::Delivery& delivery) {
    lum::sim::SimRunner sim;
    lum::sim::SimOptions options;
    options.interval = 1000ms;
    Tool tool(delivery.Pump(), sim.Start(options));
    std::vector<Clock::time_point> frames;  // arrival of every controller frame
    tool.link.Rx.FrameCounted = [&](std::uint32_t) { frames.push_back(Clock::now()); };
    delivery.RunUntil([&] { return tool.state.RxFrameCount > 0; }, 5s);

    constexpr int kRounds = 6;
    const double interval = Seconds(options.interval);
    std::printf("2. four ReadBlock of 64 bytes at a 1000 ms status interval (%d rounds)\n", kRounds);
    double sum = 0, worst = 0;
    int failures = 0;
    for (int round = 0; round < kRounds; ++round) {
        // Start at a different point of the interval each round.
        delivery.RunFor(std::chrono::milliseconds(170 * round));
        std::vector<std::uint8_t> image(256, 0);
        const std::size_t before = frames.size();
        const auto t0 = Clock::now();
        {
            auto op = tool.tx.Begin();
            for (std::uint16_t address : {0, 64, 128, 192}) {
                if (!lum::Ok(op.ReadBlock(address, 64, std::span(image).subspan(address, 64)))) ++failures;
            }
        }
        const double took = Seconds(Clock::now() - t0);
        // The first request follows the controller's next frame; each later one waits a whole
        // interval for the frame after the previous reply.
        const double first = frames.size() > before ? Seconds(frames[before] - t0) : 0.0;
        const double floor = first + 3 * interval;
        const double ratio = took / floor;
        sum += ratio;
        worst = std::max(worst, ratio);
        std::printf("   round %d: %.3f s, next frame after %.3f s, floor %.3f s, ratio %.3f\n", round + 1, took,
                    first, floor, ratio);
    }
    std::printf("   mean ratio %.3f, worst %.3f, failed reads %d\n", sum / kRounds, worst, failures);
}

}  // namespace

int main() {
    for (const auto& make : lum::bench::DeliveryPaths()) {
        const auto delivery = make();
        std::printf("--- delivery through the %s\n", delivery->Name().c_str());
        SilentLine(*delivery);
        FourReads(*delivery);
    }
    return 0;
}
