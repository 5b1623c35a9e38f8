// The tool's link against the simulated controller over a real pseudo-terminal, through the
// serial port component.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "common/MainLoop.h"
#include "link/FrameCodec.h"
#include "link/ReceivePath.h"
#include "link/Transactions.h"
#include "params/Packing.h"
#include "serial/ComPort.h"
#include "device/DeviceLink.h"
#include "serial/SafeSync.h"
#include "sim/SimRunner.h"
#include "sim/TwinCheck.h"

extern char** environ;

namespace lum::sim {
namespace {

using namespace std::chrono_literals;

// The tool's side, as the main window wires it: the serial port component delivering on a
// main loop, the receive path in its data-received handler, the transactions.
struct Tool {
    MainLoop loop;
    std::vector<std::string> echo;
    std::vector<std::vector<std::uint8_t>> statuses;
    int noController = 0;
    TComPort port;
    LinkTrace* trace = nullptr;  // when set, marks each request as it goes out
    DeviceLink link{port, loop, [this](const std::string& line) {
                        echo.push_back(line);
                        if (trace) trace->MarkSend();
                    }};
    LinkState& state = link.State;
    Transactions* tx = &link.Tx;

    explicit Tool(const std::string& path) {
        UseMainLoopForSafeSync(loop);
        link.Rx.DecodeStatusRecord = [this](const LinkState& s) {
            statuses.emplace_back(s.RxFrame.begin() + DataOffset, s.RxFrame.begin() + DataOffset + 36);
        };
        link.Tx.NoController = [this] { ++noController; };
        link.Attach();
        port.SetBaudRate(br9600);
        port.SetDevicePath(path);
        port.Open();
    }
    ~Tool() {
        port.Close();
        SafeSync::SetWaker(nullptr);
    }
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
        return loop.RunUntil(done, timeout);
    }
};

SimOptions Fast(std::chrono::milliseconds interval = 200ms) {
    SimOptions o;
    o.interval = interval;
    o.seed = 11;
    return o;
}

Memory MemoryOf(SimRunner& sim) {
    Memory m{};
    sim.WithController([&](ControllerCore& core, TimePoint) { m = core.GetMemory(); });
    return m;
}

// Reads the whole memory block by block; a block that fails is tried again (the line is
// real and the machine may be loaded), at most `tries` times. Returns the number of failures.
int ReadAll(Tool& tool, std::vector<std::uint8_t>& image, int tries = 3) {
    auto op = tool.tx->Begin();
    int failures = 0;
    for (const auto& block : ReadBlocks) {
        bool ok = false;
        for (int t = 0; t < tries && !ok; ++t) {
            ok = Ok(op.ReadBlock(block.Address, block.Count,
                                 std::span(image).subspan(block.Address, block.Count)));
            if (!ok) ++failures;
        }
        EXPECT_TRUE(ok) << block.Address;
    }
    return failures;
}

TEST(SimOverPty, FourReadBlocksReturnTheControllersMemory) {
    for (const std::uint8_t model : {200, 30}) {
        SimRunner sim;
        SimOptions o = Fast();
        o.model = model;
        Tool tool(sim.Start(o));
        std::vector<std::uint8_t> image(256, 0);
        const int failures = ReadAll(tool, image);
        EXPECT_LE(failures, 1);
        const Memory memory = MemoryOf(sim);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
        EXPECT_EQ(tool.state.Counters.BadCheck, 0u);
        // The status frames kept coming and were shown, with the model the controller reports.
        ASSERT_FALSE(tool.statuses.empty());
        EXPECT_EQ(tool.statuses.back()[0], model);
        EXPECT_EQ(tool.echo.size(), 4u + static_cast<std::size_t>(failures));
        for (const auto& line : tool.echo) EXPECT_EQ(line.rfind("<<\x10", 0), 0u);
    }
}

TEST(SimOverPty, WritesChangeTheControllersMemory) {
    SimRunner sim;
    Tool tool(sim.Start(Fast()));
    Memory expected = MemoryOf(sim);
    {
        auto op = tool.tx->Begin();
        std::vector<std::uint8_t> image(256);
        for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i ^ 0x5A);
        for (const auto& block : WriteBlocks) {
            ASSERT_EQ(op.SendWriteBlock(block.Address, block.Count,
                                        std::span(image).subspan(block.Address, block.Count)), TxResult::Done);
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(block.Address), block.Count,
                        expected.begin() + static_cast<std::ptrdiff_t>(block.Address));
        }
        const std::uint8_t minutes[] = {0x00, 0x01, 0xD4, 0xC0};  // 120000
        ASSERT_EQ(op.SendWriteBlock(0, 4, minutes), TxResult::Done);
        std::copy(std::begin(minutes), std::end(minutes), expected.begin());
        const std::string serial = "SN-42-7Q";
        ASSERT_EQ(op.SendWriteBlock(184, 8, std::vector<std::uint8_t>(serial.begin(), serial.end())), TxResult::Done);
        std::copy(serial.begin(), serial.end(), expected.begin() + 184);
    }
    EXPECT_EQ(tool.echo.size(), 6u);
    for (const auto& line : tool.echo) EXPECT_EQ(line.rfind("<< \x10", 0), 0u);
    // A write is not answered; the controller has it once it has read it.
    EXPECT_TRUE(tool.RunUntil([&] { return MemoryOf(sim) == expected; }, 10s));
    // The new motor-hours counter shows in the status records, and a read brings it all back.
    EXPECT_TRUE(tool.RunUntil([&] {
        const auto& s = tool.statuses.back();
        return s[21] == 0x00 && s[22] == 0x01 && s[23] == 0xD4 && s[24] == 0xC0;
    }));
    std::vector<std::uint8_t> image(256, 0);
    ReadAll(tool, image);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), expected.begin()));
}

// Reads one journal until its end marker; failed records are asked again (at most 3 times).
std::vector<std::array<std::uint8_t, 5>> ReadJournal(Tool& tool, JournalSelector selector, int limit) {
    std::vector<std::array<std::uint8_t, 5>> records;
    for (int index = 0; index < limit; ++index) {
        std::array<std::uint8_t, 5> r{};
        bool ok = false;
        for (int t = 0; t < 3 && !ok; ++t)
            ok = Ok(tool.tx->ReadJournalRecord(static_cast<std::uint8_t>(index), selector, r));
        EXPECT_TRUE(ok) << int(selector) << "/" << index;
        if (!ok || r[4] >= 20) break;
        records.push_back(r);
    }
    return records;
}

TEST(SimOverPty, EveryJournalRecordIsRead) {
    SimRunner sim;
    SimOptions o = Fast(100ms);
    o.eventRecords = 25;
    o.alarmRecords = 7;
    Tool tool(sim.Start(o));
    for (JournalSelector selector : {JournalSelector::Events, JournalSelector::Alarms}) {
        const auto records = ReadJournal(tool, selector, selector == JournalSelector::Events ? 105 : 50);
        std::vector<JournalRecord> journal;
        sim.WithController([&](ControllerCore& core, TimePoint) {
            journal = core.Journal(static_cast<std::uint8_t>(selector));
        });
        ASSERT_EQ(records.size(), journal.size());
        for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i], JournalBytes(journal[i])) << i;
    }
}

TEST(SimOverPty, CommandsReachTheController) {
    SimRunner sim;
    Tool tool(sim.Start(Fast(100ms)));
    tool.tx->SendCommand(49, 0, 0);
    EXPECT_TRUE(
        tool.RunUntil([&] { return !tool.statuses.empty() && (tool.statuses.back()[2] & 0x20) != 0; }));
    const std::uint8_t clock[] = {0x07, 0x05, 0x00, 0x31, 0x12, 0x26};
    tool.tx->SendCommand(38, 0, 6, clock);
    EXPECT_TRUE(tool.RunUntil([&] {
        const auto& s = tool.statuses.back();
        return s[27] == 0x07 && s[28] == 0x05;
    }));
    EXPECT_TRUE(tool.noController == 0);
    EXPECT_EQ(tool.echo.size(), 2u);
}

TEST(SimOverPty, ASilentControllerGetsNothingAndTheCommandSaysSo) {
    SimRunner sim;
    SimOptions o = Fast();
    o.silent = true;
    Tool tool(sim.Start(o));
    tool.tx->SendCommand(32, 0, 0);
    EXPECT_EQ(tool.noController, 1);
    EXPECT_TRUE(tool.echo.empty());
    std::vector<std::uint8_t> dest(64, 0xAB);
    EXPECT_EQ(tool.tx->ReadBlock(0, 64, dest), TxResult::NoControllerFrame);
    EXPECT_FALSE(tool.state.TransferOk);
    EXPECT_EQ(dest, std::vector<std::uint8_t>(64, 0xAB));
    tool.loop.RunFor(300ms);
    SimStats stats;
    sim.WithController([&](ControllerCore& core, TimePoint) { stats = core.Stats(); });
    EXPECT_EQ(stats.requests + stats.badRequests, 0);
}

// Noise, dropped requests and chunked frames over a real pseudo-terminal, with the clean
// twin of the controller beside it: the tool shows only status records the controller
// really sent, every transaction ends as its reply dictates, and
// every block and journal record accepted is the controller's. Reads near the end of
// memory get short replies, which must fail. The only corruption let through is one no
// check can see: intact hex text on the line and a matching check byte (TwinCheck.h); it
// stays rare. Each line runs until it has carried
// enough of everything for the comparison to mean something.
TEST(SimOverPty, FaultsFailTransfersButNeverCorruptADestination) {
    struct Config {
        const char* name;
        double drop;
        bool chunked;
        std::chrono::milliseconds interval;  // chunked frames take longer to send
    };
    for (const Config& c : {Config{"noise", 0, false, 30ms}, Config{"noise, drop, chunked", 0.05, true, 60ms}}) {
        SimRunner sim;
        SimOptions o = Fast(c.interval);
        o.noise = 0.02;
        o.drop = c.drop;
        o.chunked = c.chunked;
        o.seed = 5;
        o.eventRecords = 12;
        Tool tool(sim.StartWithTwin(o));
        tool.tx->SetReplyWait(300ms);  // a reply lost to the faults costs the whole wait
        LinkTrace trace;
        trace.Attach(tool.link.Rx, tool.state);
        tool.trace = &trace;
        TwinContent twin;
        sim.WithTwin([&](const CleanTwin& t) { twin = {t.core.GetMemory(), t.core.Journal(0)}; });

        // What the noisy controller has sent so far (a frame accepted must have been on the
        // line exactly as decoded).
        const auto noisy = [&sim] {
            std::string text;
            sim.WithTwin([&](const CleanTwin& t) { text = t.noisy; });
            return text;
        };
        RoundTally tally;
        int round = 0;
        const auto enough = [&] {
            return trace.shown.size() >= 60 && tally.blocks >= 15 && tally.records >= 5 &&
                   tool.state.Counters.ShortReply >= 1;
        };
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        for (; !enough() && std::chrono::steady_clock::now() < deadline; ++round) {
            SCOPED_TRACE(c.name);
            CheckedRound(*tool.tx, trace, twin, noisy, round, 3, tally);
        }
        // Everything the tool has shown so far went out before this look at the twin.
        std::string sent;
        sim.WithTwin([&](const CleanTwin& t) { sent = t.sent; });
        const Comparison statuses = CompareShownWithTwin(trace.shown, StatusFramesIn(sent), noisy());
        EXPECT_LE(statuses.checkBlind + static_cast<std::size_t>(tally.checkBlind), 3u) << c.name;
        const auto& n = tool.state.Counters;
        RecordProperty(std::string(c.name) + "_rounds", round);
        RecordProperty(std::string(c.name) + "_shown", static_cast<int>(trace.shown.size()));
        RecordProperty(std::string(c.name) + "_blocks", tally.blocks);
        RecordProperty(std::string(c.name) + "_check_blind", static_cast<int>(statuses.checkBlind) + tally.checkBlind);
        EXPECT_TRUE(enough()) << c.name << ": " << trace.shown.size() << " records shown, " << tally.blocks
                              << " blocks and " << tally.records << " journal records accepted, " << n.ShortReply
                              << " short replies in " << round << " rounds";
        EXPECT_GT(n.BadCheck, 100u) << c.name;
        EXPECT_EQ(n.Refused, 0u);
        EXPECT_EQ(n.PortErrors, 0u);
    }
}

// The program itself: it prints its pseudo-terminal, links it, talks, and ends cleanly on SIGTERM.
TEST(ControllerSimProgram, LinksItsPseudoTerminalAndEndsOnSignal) {
    // The program lies in the build directory.
    const std::string program = std::string(LUM_BUILD_DIR) + "/controller-sim";
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program << " not built";
    const std::string link = ::testing::TempDir() + "h2-sim-link-" + std::to_string(getpid());
    std::vector<std::string> args = {program,   "--interval", "100",    "--seed", "3",
                                     "--model", "202",        "--link", link};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    struct stat st {};
    bool linked = false;
    for (int i = 0; i < 500 && !linked; ++i) {
        linked = lstat(link.c_str(), &st) == 0;
        if (!linked) std::this_thread::sleep_for(20ms);
    }
    if (linked) {
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        Tool tool(link);
        EXPECT_TRUE(tool.RunUntil([&] { return tool.statuses.size() >= 3; }));
        EXPECT_EQ(tool.statuses.back()[0], 202);
        std::vector<std::uint8_t> image(256, 0);
        ReadAll(tool, image);
        const ConfigImage defaults = DefaultImageForModel(202);
        EXPECT_TRUE(std::equal(image.begin() + 4, image.begin() + 180, defaults.begin() + 4));
        EXPECT_TRUE(std::equal(image.begin() + 192, image.end(), defaults.begin() + 192));
    }
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(linked);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link went with it
}

}  // namespace
}  // namespace lum::sim
