// Soak benchmark of the link stack without a window: the serial port component, the
// receive path and the transactions (device/DeviceLink) against the controller-sim
// program on a pseudo-terminal with a noisy, chunked line
// (--interval 50 --noise 0.02 --chunked), for a number of minutes. Every 10 s it reads
// the whole configuration; every block it accepts is compared with a clean twin, a
// simulated controller of the same seed and model without noise, whose memory the
// noisy one also holds (nothing writes to it during the run).
//
// Every 10 s the configuration is read through the transfer's block read (each block read
// until two copies agree); blocks that fail are read again within the 10 s.
//
// Prints, per minute and in total: memory growth of this process (resident set), CPU
// share of one core, frames received, bad checks, reads done and corrupted blocks
// accepted. Targets: growth under 20 kB/min, CPU under 3 %, 0 corrupted blocks.
//
//   bench_soak_link [--minutes N] [--noise RATE] [--seed N] [--sim PATH]   (defaults 10, 0.02)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/MainLoop.h"
#include "device/DeviceLink.h"
#include "link/FrameCodec.h"
#include "params/Packing.h"
#include "params/Transfer.h"
#include "serial/ComPort.h"
#include "serial/SafeSync.h"
#include "sim/ControllerCore.h"
#include "telemetry/StatusRecord.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kReadPeriod = 10s;
constexpr int kIntervalMs = 50;

struct Args {
    int minutes = 10;
    double noise = 0.02;
    std::uint64_t seed = 4242;
    std::string sim = std::string(LUM_BUILD_DIR) + "/controller-sim";
};

Args ParseArgs(int argc, char** argv) {
    Args a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--minutes" && hasValue) {
            a.minutes = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--noise" && hasValue) {
            a.noise = std::atof(argv[++i]);
        } else if (arg == "--seed" && hasValue) {
            a.seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--sim" && hasValue) {
            a.sim = argv[++i];
        } else {
            throw std::invalid_argument("usage: bench_soak_link [--minutes N] [--noise RATE] [--seed N] [--sim PATH]");
        }
    }
    return a;
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Resident set of this process in kB.
long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The controller-sim program on its own pseudo-terminal, reached through a symbolic link.
class SimProcess {
  public:
    SimProcess(const Args& a, const std::string& link) : link_(link) {
        std::vector<std::string> args = {a.sim,        "--interval", std::to_string(kIntervalMs),
                                         "--noise",    std::to_string(a.noise),
                                         "--chunked",  "--seed",     std::to_string(a.seed),
                                         "--link",     link};
        std::vector<char*> argv;
        for (auto& s : args) argv.push_back(s.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int rc = posix_spawn(&pid_, a.sim.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) throw std::runtime_error("cannot start " + a.sim);
        struct stat st {};
        for (int i = 0; i < 500; ++i) {
            if (lstat(link.c_str(), &st) == 0) return;
            std::this_thread::sleep_for(20ms);
        }
        Stop();
        throw std::runtime_error(a.sim + " made no link " + link);
    }
    ~SimProcess() { Stop(); }

    // Ends the program; its CPU time in seconds (from the wait status).
    double Stop() {
        if (pid_ <= 0) return 0;
        kill(pid_, SIGTERM);
        int status = 0;
        rusage usage{};
        wait4(pid_, &status, 0, &usage);
        pid_ = 0;
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    }

  private:
    std::string link_;
    pid_t pid_ = 0;
};

struct Figures {
    long statusShown = 0;
    long statusWrongModel = 0;  // accepted status records whose model byte is not the controller's
    long configReads = 0;       // whole configurations read
    long configReadsFailed = 0;
    long blocksAccepted = 0;
    long blockTransactions = 0;  // block reads made, repeats included
    long disagreements = 0;      // blocks whose copies never agreed
    long corruptedBlocks = 0;   // accepted blocks that differ from the clean twin
    long replies = 0;           // read replies that passed the receive path's checks
    long corruptedReplies = 0;  // of them, carrying other bytes than the clean twin's memory
};

}  // namespace

int main(int argc, char** argv) {
    Args args;
    try {
        args = ParseArgs(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    const std::string link = "/tmp/lum-soak-" + std::to_string(getpid());
    lum::sim::SimOptions twinOptions;
    twinOptions.interval = std::chrono::milliseconds(kIntervalMs);
    twinOptions.chunked = true;
    twinOptions.seed = args.seed;
    const lum::sim::ControllerCore twin(twinOptions, Clock::now());
    const lum::sim::Memory clean = twin.GetMemory();

    std::printf("soak: controller-sim --interval %d --noise %g --chunked --seed %llu, %d min, "
                "configuration read every %lld s\n",
                kIntervalMs, args.noise, static_cast<unsigned long long>(args.seed), args.minutes,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(kReadPeriod).count()));

    Figures f;
    double simCpu = 0;
    {
        SimProcess sim(args, link);
        lum::MainLoop loop;
        lum::UseMainLoopForSafeSync(loop);
        lum::TComPort port;
        lum::DeviceLink device(port, loop);
        device.Rx.DecodeStatusRecord = [&](const lum::LinkState& s) {
            const auto record = lum::ParseStatusRecord(std::span(s.RxFrame).first(s.RxFrameLength));
            ++f.statusShown;
            if (!record || record->ModelCode != twinOptions.model) ++f.statusWrongModel;
        };
        device.Rx.FrameCounted = [&](std::uint32_t) {
            const lum::LinkState& s = device.State;
            if (!s.RxFrameCheckOk || s.RxFrame[1] != lum::kReadCode) return;
            const std::size_t address = static_cast<std::size_t>(s.RxFrame[2] << 8 | s.RxFrame[3]);
            const std::size_t count = s.RxFrameLength - lum::DataOffset - 1;
            ++f.replies;
            if (address + count > clean.size() ||
                !std::equal(s.RxFrame.begin() + lum::DataOffset, s.RxFrame.begin() + lum::DataOffset + count,
                            clean.begin() + address)) {
                ++f.corruptedReplies;
            }
        };
        device.Attach();
        port.SetBaudRate(lum::br9600);
        port.SetDevicePath(link);
        port.Open();

        const auto start = Clock::now();
        const double cpu0 = CpuSeconds();
        long rss0 = ResidentKb();
        long rssAfterFirstMinute = 0;
        auto nextRead = start + 2 * kReadPeriod;  // the end of the next read's slot
        std::printf("%6s %10s %8s %8s %9s %8s %8s %10s\n", "minute", "rss kB", "cpu %", "frames", "bad chk",
                    "reads", "failed", "corrupted");
        for (int minute = 1; minute <= args.minutes; ++minute) {
            const auto minuteEnd = start + minute * 1min;
            const double minuteCpu0 = CpuSeconds();
            while (Clock::now() < minuteEnd) {
                const auto until = std::min(nextRead - kReadPeriod, minuteEnd);
                loop.RunFor(std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()));
                if (Clock::now() < nextRead - kReadPeriod) continue;
                const auto slotEnd = nextRead;  // this read's share of the time
                nextRead += kReadPeriod;
                // The four blocks through the transfer's block read (two agreeing copies).
                // A block that fails is read again, as an engineer would press the button
                // again, until all four agreed or the 10 s slot is over; each block
                // accepted is compared with the clean twin.
                std::array<bool, lum::ReadBlocks.size()> agreed{};
                auto op = device.Tx.Begin();
                lum::OperationBlockLink blocks(op);
                do {
                    for (std::size_t i = 0; i < lum::ReadBlocks.size(); ++i) {
                        if (agreed[i]) continue;
                        const auto& block = lum::ReadBlocks[i];
                        std::vector<std::uint8_t> bytes(block.Count);
                        lum::TransferFailure failure = lum::TransferFailure::None;
                        int reads = 0;
                        agreed[i] = lum::ReadBlockAgreed(blocks, block.Address, block.Count, bytes, failure, &reads);
                        f.blockTransactions += reads;
                        if (!agreed[i]) {
                            if (failure == lum::TransferFailure::Disagreement) ++f.disagreements;
                            continue;
                        }
                        ++f.blocksAccepted;
                        if (!std::equal(bytes.begin(), bytes.end(), clean.begin() + block.Address)) ++f.corruptedBlocks;
                    }
                } while (std::find(agreed.begin(), agreed.end(), false) != agreed.end() && Clock::now() < slotEnd);
                ++f.configReads;
                if (std::find(agreed.begin(), agreed.end(), false) != agreed.end()) ++f.configReadsFailed;
            }
            const long rss = ResidentKb();
            if (minute == 1) rssAfterFirstMinute = rss;
            const double minuteCpu = CpuSeconds() - minuteCpu0;
            std::printf("%6d %10ld %8.3f %8u %9u %8ld %8ld %10ld\n", minute, rss, 100.0 * minuteCpu / 60.0,
                        device.State.RxFrameCount, device.State.Counters.BadCheck, f.configReads,
                        f.configReadsFailed, f.corruptedBlocks);
            std::fflush(stdout);
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = CpuSeconds() - cpu0;
        const long rssEnd = ResidentKb();
        port.Close();
        lum::SafeSync::SetWaker(nullptr);
        simCpu = sim.Stop();

        const auto& n = device.State.Counters;
        std::printf("\nresults over %.1f min\n", wall / 60.0);
        std::printf("  memory: %ld kB at start, %ld kB after minute 1, %ld kB at the end\n", rss0, rssAfterFirstMinute,
                    rssEnd);
        if (args.minutes > 1) {
            std::printf("  memory growth after minute 1: %.1f kB/min (target < 20)\n",
                        static_cast<double>(rssEnd - rssAfterFirstMinute) / (args.minutes - 1));
        } else {
            std::printf("  memory growth over the minute: %ld kB (run 2 or more minutes for a rate)\n",
                        rssEnd - rss0);
        }
        std::printf("  CPU of the link process: %.2f s = %.3f %% of one core (target < 3 %%)\n", cpu,
                    100.0 * cpu / wall);
        std::printf("  CPU of controller-sim: %.2f s = %.3f %% of one core\n", simCpu, 100.0 * simCpu / wall);
        std::printf("  frames received: %u (status records shown %ld, of them with a wrong model %ld)\n",
                    device.State.RxFrameCount, f.statusShown, f.statusWrongModel);
        std::printf("  bad checks: %u, malformed frames: %u\n", n.BadCheck, n.Malformed);
        std::printf("  configuration reads: %ld done, %ld failed\n", f.configReads - f.configReadsFailed,
                    f.configReadsFailed);
        std::printf("  block reads: %ld made; failed: reply timeouts %u, wrong code %u, corrupt reply %u, short %u, "
                    "no frame before sending %u; blocks whose copies never agreed: %ld\n",
                    f.blockTransactions, n.ReplyTimeouts, n.WrongCode, n.CorruptReply, n.ShortReply,
                    n.PreSendTimeouts, f.disagreements);
        std::printf("  read replies that passed the check byte: %ld, of them carrying corrupted data: %ld\n",
                    f.replies, f.corruptedReplies);
        std::printf("  blocks accepted (two agreeing copies): %ld, in %ld configuration reads\n", f.blocksAccepted,
                    f.configReads);
        std::printf("  corrupted blocks accepted: %ld of %ld (target 0)\n", f.corruptedBlocks, f.blocksAccepted);
    }
    return f.corruptedBlocks == 0 ? 0 : 1;
}
