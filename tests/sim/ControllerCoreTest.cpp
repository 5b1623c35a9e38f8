#include <gtest/gtest.h>

#include <map>

#include "common/EventPump.h"
#include "link/FrameCodec.h"
#include "link/ReceivePath.h"
#include "link/Transactions.h"
#include "params/Packing.h"
#include "params/Transfer.h"
#include "service/Journal.h"
#include "sim/ControllerCore.h"
#include "sim/SimLoop.h"
#include "sim/TwinCheck.h"

namespace lum::sim {
namespace {

using namespace std::chrono_literals;

// Everything a controller sends, cut into frames by the tool's own receive path.
struct Listener {
    LinkState state;
    ReceivePath rx{state};
    std::vector<std::vector<std::uint8_t>> frames;  // intact controller frames, in order
    std::vector<std::string> writes;

    Listener() {
        rx.FrameCounted = [this](std::uint32_t) {
            if (state.RxFrameCheckOk) {
                frames.emplace_back(state.RxFrame.begin(), state.RxFrame.begin() + state.RxFrameLength);
            }
        };
    }
    void Take(ControllerCore& core, TimePoint now) {
        for (auto& w : core.TakeDue(now)) {
            rx.Chunk(w);
            writes.push_back(std::move(w));
        }
    }
};

struct Bench {
    SimOptions options;
    TimePoint start = TimePoint{} + 100h;
    TimePoint now = start;
    std::unique_ptr<ControllerCore> core;
    Listener out;
    std::vector<std::string> log;

    explicit Bench(SimOptions o = {}) : options(o) {
        core = std::make_unique<ControllerCore>(options, start,
                                                [this](const std::string& s) { log.push_back(s); });
    }
    // Moves the time on in small steps, collecting what is sent.
    void Run(std::chrono::milliseconds d, std::chrono::milliseconds step = 10ms) {
        const TimePoint end = now + d;
        while (now < end) {
            out.Take(*core, now);
            now += step;
        }
        out.Take(*core, now);
    }
    // Sends a request right after the controller's frame and returns the frames it answered with.
    std::vector<std::vector<std::uint8_t>> Ask(const std::string& request,
                                               std::chrono::milliseconds after = 5ms) {
        const std::size_t before = out.frames.size();
        now += after;
        core->Receive(request, now);
        out.Take(*core, now);
        return {out.frames.begin() + static_cast<std::ptrdiff_t>(before), out.frames.end()};
    }
    // Waits for the next status frame, then asks.
    std::vector<std::vector<std::uint8_t>> AskAfterStatus(const std::string& request,
                                                          std::chrono::milliseconds after = 5ms) {
        const std::size_t before = out.frames.size();
        while (out.frames.size() == before) {
            now += 1ms;
            out.Take(*core, now);
        }
        return Ask(request, after);
    }
    std::vector<std::uint8_t> LastStatus() const {
        for (auto it = out.frames.rbegin(); it != out.frames.rend(); ++it) {
            if ((*it)[1] == 21) return {it->begin() + DataOffset, it->begin() + DataOffset + 36};
        }
        return {};
    }
};

std::uint32_t Word(const std::vector<std::uint8_t>& d, std::size_t at) {
    return static_cast<std::uint32_t>(d[at] << 8 | d[at + 1]);
}

TEST(ControllerCore, StatusFramesComeEveryIntervalWithTheRecordLayoutAndGoodChecks) {
    for (int index = 0; index < ModelCount; ++index) {
        const std::uint8_t model = *ModelCodeForIndex(index);
        SimOptions o;
        o.model = model;
        o.interval = 500ms;
        o.clock = {23, 59, 58, 31, 12, 26};
        Bench b(o);
        b.Run(100ms);
        ASSERT_EQ(b.out.frames.size(), 1u);  // one at start, the next only after the interval
        EXPECT_EQ(b.core->NextDue(), b.start + 500ms);
        b.Run(60s);
        EXPECT_EQ(b.out.frames.size(), 121u);
        EXPECT_EQ(b.out.state.Counters.BadCheck, 0u);
        int lastSecond = -1;
        for (const auto& f : b.out.frames) {
            ASSERT_EQ(f.size(), 5u + 36u + 1u);
            EXPECT_EQ(f[0], 1);
            EXPECT_EQ(f[1], 21);
            EXPECT_EQ(f[4], 36);
            const std::vector<std::uint8_t> d(f.begin() + DataOffset, f.end() - 1);
            EXPECT_EQ(d[0], model);
            EXPECT_EQ(d[2] & 0x01, 0x01);  // three-phase mains
            EXPECT_EQ(d[4], 2);            // automatic
            EXPECT_EQ(d[5], 0);            // on mains
            EXPECT_EQ(d[8], 0);            // generator stopped
            for (int phase = 9; phase <= 11; ++phase) {
                EXPECT_GE(d[phase] + 50, 205);
                EXPECT_LE(d[phase] + 50, 245);
            }
            EXPECT_GE(Word(d, 15), 124u);  // battery around 13 V
            EXPECT_LE(Word(d, 15), 140u);
            EXPECT_GE(Word(d, 17), 260u);  // UPS around 27 V
            EXPECT_LE(Word(d, 17), 282u);
            EXPECT_EQ(d[21] << 24 | d[22] << 16 | d[23] << 8 | d[24], 12345);
            EXPECT_LE(d[30], 31);
            EXPECT_EQ(d[31], 1);
            for (int t = 32; t <= 35; ++t) EXPECT_LE(std::abs(static_cast<std::int8_t>(d[t])), 60);
            // The clock runs: BCD, and the seconds move on with the frames.
            EXPECT_LE(BcdToBin(d[27]), 23);
            EXPECT_LE(BcdToBin(d[28]), 59);
            const int second = BcdToBin(d[27]) * 3600 + BcdToBin(d[28]) * 60 + BcdToBin(d[29]);
            if (lastSecond >= 0) {
                EXPECT_LE((second - lastSecond + 86400) % 86400, 1);
            }
            lastSecond = second;
        }
        // 60.1 s after 23:59:58 on 31.12.26 it is 00:00:58 of the next year.
        const ClockTime c = b.core->Clock(b.now);
        EXPECT_EQ(c, (ClockTime{0, 0, 58, 1, 1, 27}));
        // The values change, slowly.
        std::map<int, int> phaseA;
        for (const auto& f : b.out.frames) ++phaseA[f[DataOffset + 9]];
        EXPECT_GT(phaseA.size(), 2u);
    }
}

TEST(ControllerCore, MemoryHoldsTheModelDefaultsAndReadsAnswerItAtOnce) {
    SimOptions o;
    o.model = 201;
    Bench b(o);
    const ConfigImage defaults = DefaultImageForModel(201);
    const Memory& memory = b.core->GetMemory();
    for (std::size_t a = 4; a < 256; ++a) {
        if (a >= 180 && a < 192) continue;  // counters and serial number the controller keeps itself
        EXPECT_EQ(memory[a], defaults[a]) << a;
    }
    EXPECT_EQ(std::string(memory.begin() + 184, memory.begin() + 192), "00012345");

    for (std::uint16_t address : {0, 64, 128, 192}) {
        const auto reply = b.AskAfterStatus(BuildReadFrame(address, 64));
        ASSERT_EQ(reply.size(), 1u) << address;  // answered within the same moment
        const auto& f = reply[0];
        ASSERT_EQ(f.size(), 70u);
        EXPECT_EQ(f[1], 5);
        EXPECT_EQ(f[2] << 8 | f[3], address);
        EXPECT_EQ(f[4], 64);
        EXPECT_TRUE(std::equal(f.begin() + DataOffset, f.end() - 1, memory.begin() + address));
    }
    // Near the end of memory only what exists is sent; past it nothing.
    auto tail = b.AskAfterStatus(BuildReadFrame(250, 64));
    ASSERT_EQ(tail.size(), 1u);
    EXPECT_EQ(tail[0][4], 6);
    EXPECT_TRUE(b.AskAfterStatus(BuildReadFrame(256, 1)).empty());
    EXPECT_EQ(b.core->Stats().badRequests, 1);
    EXPECT_EQ(b.core->Stats().replies, 5);
    // The status cadence goes on regardless of the replies.
    b.Run(5s);
    EXPECT_EQ(b.core->Stats().statusFrames, 11);
}

TEST(ControllerCore, WritesChangeMemoryWithinItsBounds) {
    Bench b;
    std::vector<std::uint8_t> block(60);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 3);
    b.AskAfterStatus(BuildWriteFrame(4, 60, block));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), b.core->GetMemory().begin() + 4));

    // The motor-hours counter (60005 minutes) shows in the next status record.
    const std::uint8_t minutes[] = {0x00, 0x00, 0xEA, 0x65};
    b.AskAfterStatus(BuildWriteFrame(0, 4, minutes));
    EXPECT_EQ(b.core->MotorMinutes(), 60005);
    b.Run(1100ms);
    const auto d = b.LastStatus();
    EXPECT_EQ((std::vector<std::uint8_t>(d.begin() + 21, d.begin() + 25)),
              (std::vector<std::uint8_t>{0, 0, 0xEA, 0x65}));

    const std::string serial = "ABCDEFGH";
    b.AskAfterStatus(BuildWriteFrame(184, 8, std::vector<std::uint8_t>(serial.begin(), serial.end())));
    EXPECT_EQ(std::string(b.core->GetMemory().begin() + 184, b.core->GetMemory().begin() + 192), serial);

    // A write that would run past the end changes nothing.
    const Memory before = b.core->GetMemory();
    b.AskAfterStatus(BuildWriteFrame(250, 10, std::vector<std::uint8_t>(10, 0x77)));
    EXPECT_EQ(b.core->GetMemory(), before);
    // A write frame carrying fewer bytes than it counts changes nothing either.
    std::string shortWrite = BuildWriteFrame(8, 4, std::vector<std::uint8_t>{1, 2, 3, 4});
    std::vector<std::uint8_t> bytes = {0, 4, 0, 8, 4, 1, 2};
    std::uint8_t x = 0;
    for (auto v : bytes) x ^= v;
    bytes.push_back(x);
    shortWrite = "\x10";
    for (auto v : bytes) shortWrite += ByteToHex(v);
    shortWrite += "\r";
    b.AskAfterStatus(shortWrite);
    EXPECT_EQ(b.core->GetMemory(), before);
    EXPECT_EQ(b.core->Stats().badRequests, 2);
}

TEST(ControllerCore, IgnoredWriteBlockKeepsItsBytesOthersAreTaken) {
    SimOptions o;
    o.ignoreWritesAt = 64;
    Bench b(o);
    const Memory before = b.core->GetMemory();
    b.AskAfterStatus(BuildWriteFrame(64, 64, std::vector<std::uint8_t>(64, 0x11)));
    EXPECT_EQ(b.core->GetMemory(), before);
    EXPECT_EQ(b.core->Stats().ignoredWrites, 1);
    // Another block, and a block that merely covers address 64, are written.
    b.AskAfterStatus(BuildWriteFrame(128, 52, std::vector<std::uint8_t>(52, 0x22)));
    EXPECT_EQ(b.core->GetMemory()[128], 0x22);
    b.AskAfterStatus(BuildWriteFrame(60, 8, std::vector<std::uint8_t>(8, 0x33)));
    EXPECT_EQ(b.core->GetMemory()[64], 0x33);
    EXPECT_EQ(b.core->Stats().ignoredWrites, 1);
}

TEST(ControllerCore, JournalsReadToTheirEndMarker) {
    SimOptions o;
    o.eventRecords = 30;
    o.alarmRecords = 5;
    Bench b(o);
    for (std::uint8_t selector : {0, 1}) {
        std::vector<JournalRecord> read;
        for (int index = 0; index < 120; ++index) {
            const std::uint8_t data[] = {selector, static_cast<std::uint8_t>(index)};
            const auto reply = b.AskAfterStatus(BuildFrame(40, 0, 2, data));
            ASSERT_EQ(reply.size(), 1u);
            const auto& f = reply[0];
            ASSERT_EQ(f.size(), 11u);
            EXPECT_EQ(f[1], 40);
            if (f[DataOffset + 4] >= 20) break;
            read.push_back({BcdToBin(f[5]), BcdToBin(f[6]), BcdToBin(f[7]), BcdToBin(f[8]), f[9]});
            EXPECT_LE(read.back().hour, 23);
            EXPECT_GE(read.back().month, 1);
            EXPECT_LE(read.back().month, 12);
        }
        EXPECT_EQ(read, b.core->Journal(selector));
        EXPECT_EQ(read.size(), selector == 0 ? 30u : 5u);
        for (const auto& r : read) {
            if (selector == 1) {
                EXPECT_TRUE(r.code >= 11 && r.code <= 17) << int(r.code);
            }
        }
    }
    // Past the largest journal the end marker too; an unknown journal gets no answer.
    const std::uint8_t far[] = {0, 200};
    const auto end = b.AskAfterStatus(BuildFrame(40, 0, 2, far));
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end[0][DataOffset + 4], 0xFF);
    const std::uint8_t unknown[] = {2, 0};
    EXPECT_TRUE(b.AskAfterStatus(BuildFrame(40, 0, 2, unknown)).empty());
}

TEST(ControllerCore, ClockAndModeCommandsShowInTheStatus) {
    Bench b;
    const std::uint8_t clock[] = {0x23, 0x59, 0x58, 0x31, 0x12, 0x26};
    b.AskAfterStatus(BuildFrame(38, 0, 6, clock));
    EXPECT_EQ(b.core->Clock(b.now), (ClockTime{23, 59, 58, 31, 12, 26}));
    b.Run(3s);
    EXPECT_EQ(b.core->Clock(b.now), (ClockTime{0, 0, 1, 1, 1, 27}));
    // An impossible time is ignored.
    const std::uint8_t bad[] = {0x25, 0x00, 0x00, 0x30, 0x02, 0x26};
    b.AskAfterStatus(BuildFrame(38, 0, 6, bad));
    EXPECT_EQ(b.core->Clock(b.now).year, 27);

    b.AskAfterStatus(BuildFrame(49, 0, 0));
    b.Run(1100ms);
    auto d = b.LastStatus();
    EXPECT_EQ(d[4], 2);
    EXPECT_EQ(d[2] & 0x20, 0x20);
    b.AskAfterStatus(BuildFrame(48, 0, 0));
    b.Run(1100ms);
    d = b.LastStatus();
    EXPECT_EQ(d[4], 2);
    EXPECT_EQ(d[2] & 0x20, 0);

    for (std::uint8_t code : {32, 33, 34}) b.AskAfterStatus(BuildFrame(code, 0, 0));
    EXPECT_EQ(b.core->Stats().badRequests, 1);  // only the impossible time
}

TEST(ControllerCore, StartAndStopGoThroughTheGeneratorStates) {
    int retried = 0;  // runs whose first start attempt failed
    for (std::uint64_t seed : {1, 2, 3, 4, 5, 6, 7, 8}) {
        SimOptions o;
        o.seed = seed;
        o.interval = 200ms;
        Bench b(o);
        const std::size_t eventsBefore = b.core->Journal(0).size();
        const std::uint8_t run[] = {0x00, 0x78};  // 120 s
        b.AskAfterStatus(BuildFrame(50, 0, 2, run));
        EXPECT_EQ(b.core->WorkMode(), 3);
        std::vector<int> states;
        std::vector<std::uint16_t> startTimers;
        for (int i = 0; i < 1600 && !(states.size() > 1 && states.back() == 0); ++i) {
            b.Run(100ms);
            const auto d = b.LastStatus();
            if (states.empty() && d[5] == 0) continue;  // a status frame from before the command
            if (states.empty() || states.back() != d[5]) states.push_back(d[5]);
            if (d[5] == 3) startTimers.push_back(static_cast<std::uint16_t>(Word(d, 6)));
            if (d[5] == 5) {
                EXPECT_GE(d[8] + 50, 200);  // generator voltage while running
            }
        }
        EXPECT_EQ(states, (std::vector<int>{3, 4, 5, 8, 0})) << seed;
        ASSERT_FALSE(startTimers.empty());
        for (auto t : startTimers) {
            const int step = t & 0xFF;
            EXPECT_TRUE(step == 0 || step == 1 || step == 2 || step == 4 || step == 5) << t;
            EXPECT_LT(t >> 8, 3) << t;
            if (t >> 8 > 0) ++retried;
        }
        // Two minutes and more of engine time count as motor minutes.
        EXPECT_GE(b.core->MotorMinutes(), 12345 + 2);
        EXPECT_LE(b.core->MotorMinutes(), 12345 + 3);
        const auto& journal = b.core->Journal(0);
        ASSERT_EQ(journal.size(), eventsBefore + 3);
        EXPECT_EQ(journal[eventsBefore].code, 1);
        EXPECT_EQ(journal[eventsBefore + 1].code, 2);
        EXPECT_EQ(journal[eventsBefore + 2].code, 9);
    }

    EXPECT_GT(retried, 0);

    // A stop while running cools down and stops; a second start while running is ignored.
    Bench b;
    const std::uint8_t forever[] = {0, 0};
    b.AskAfterStatus(BuildFrame(50, 0, 2, forever));
    b.Run(30s, 50ms);
    EXPECT_EQ(b.core->WorkMode(), 5);
    b.AskAfterStatus(BuildFrame(50, 0, 2, forever));
    EXPECT_EQ(b.core->WorkMode(), 5);
    b.AskAfterStatus(BuildFrame(51, 0, 2, forever));
    EXPECT_EQ(b.core->WorkMode(), 8);
    b.Run(6s, 50ms);
    EXPECT_EQ(b.core->WorkMode(), 0);

    // A stop with a waiting time: cooling, then rest for that time with its timer, then mains.
    b.AskAfterStatus(BuildFrame(50, 0, 2, forever));
    b.Run(30s, 50ms);
    ASSERT_EQ(b.core->WorkMode(), 5);
    const std::uint8_t wait[] = {0x00, 0x14};  // 20 s
    b.AskAfterStatus(BuildFrame(51, 0, 2, wait));
    b.Run(6s, 50ms);
    EXPECT_EQ(b.LastStatus()[5], 6);
    b.Run(10s, 50ms);
    EXPECT_EQ(b.LastStatus()[5], 6);
    EXPECT_NEAR(Word(b.LastStatus(), 6), 10, 2);  // seconds of rest so far
    b.Run(11s, 50ms);
    EXPECT_EQ(b.LastStatus()[5], 0);
}

TEST(ControllerCore, RequestsCountOnlyRightAfterItsOwnFrames) {
    Bench b;
    // Before the controller has said anything it does not listen.
    b.core->Receive(BuildReadFrame(0, 8), b.now);
    EXPECT_EQ(b.core->Stats().late, 1);
    b.Run(10ms);
    ASSERT_EQ(b.out.frames.size(), 1u);  // the status frame, no reply
    EXPECT_TRUE(b.Ask(BuildReadFrame(0, 8), 260ms).empty());
    EXPECT_EQ(b.core->Stats().late, 2);
    EXPECT_EQ(b.AskAfterStatus(BuildReadFrame(0, 8), 240ms).size(), 1u);
    EXPECT_EQ(b.core->Stats().late, 2);
    // Nor while it is still sending (here a frame in small pieces).
    SimOptions chunked;
    chunked.chunked = true;
    Bench c(chunked);
    c.Run(1000ms, 1ms);  // up to the first piece of the second status frame
    ASSERT_FALSE(c.out.writes.back().find('\r') != std::string::npos);
    EXPECT_TRUE(c.Ask(BuildReadFrame(0, 8), 0ms).empty());
    EXPECT_EQ(c.core->Stats().late, 1);
    EXPECT_EQ(c.core->Stats().replies, 0);

    // A request with a bad check is not acted on.
    std::string bad = BuildFrame(49, 0, 0);
    bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';
    b.AskAfterStatus(bad);
    EXPECT_FALSE(b.core->SemiAutomatic());
    EXPECT_EQ(b.core->Stats().badRequests, 1);
    // Requests split over several chunks, with garbage in front, are put together.
    const std::string req = BuildFrame(49, 0, 0);
    b.AskAfterStatus("zz" + req.substr(0, 4));
    b.core->Receive(req.substr(4), b.now);
    EXPECT_TRUE(b.core->SemiAutomatic());
}

// Runs a controller through 20 s with a request after every status frame; returns what it wrote.
std::vector<std::string> FaultyRun(SimOptions o) {
    Bench b(o);
    b.Run(10ms);
    for (int i = 0; i < 100; ++i) {
        const TimePoint next = b.core->NextDue();
        b.Run(std::chrono::duration_cast<std::chrono::milliseconds>(next - b.now) + 60ms, 2ms);
        b.Ask(BuildReadFrame(static_cast<std::uint16_t>(64 * (i % 4)), 64));
    }
    b.Run(1s, 2ms);
    return b.out.writes;
}

TEST(ControllerCore, SeededFaultsAreRepeatable) {
    SimOptions o;
    o.interval = 200ms;
    o.noise = 0.01;
    o.drop = 0.3;
    o.chunked = true;
    o.seed = 77;
    const auto first = FaultyRun(o);
    const auto second = FaultyRun(o);
    EXPECT_EQ(first, second);
    o.seed = 78;
    EXPECT_NE(FaultyRun(o), first);

    // What the faults do: frames in pieces of at most 12 characters, now and then two whole
    // frames in one write; corrupted frames the tool's receive path catches; requests dropped.
    o.seed = 77;
    Bench b(o);
    b.Run(10ms);
    for (int i = 0; i < 100; ++i) {
        b.Run(std::chrono::duration_cast<std::chrono::milliseconds>(b.core->NextDue() - b.now) + 60ms, 2ms);
        b.Ask(BuildReadFrame(0, 64));
    }
    int doubles = 0;
    for (const auto& w : b.out.writes) {
        if (w.size() == 2 * (2 * (5 + 36 + 1) + 2)) {
            ++doubles;
        } else {
            EXPECT_LE(w.size(), 12u);
        }
    }
    const SimStats& s = b.core->Stats();
    EXPECT_GT(s.multiFrameWrites, 0);
    EXPECT_EQ(doubles, s.multiFrameWrites);
    EXPECT_GT(s.corruptedChars, 0);
    EXPECT_GT(b.out.state.Counters.BadCheck + b.out.state.Counters.Malformed, 0u);
    EXPECT_GT(s.dropped, 10);
    EXPECT_LT(s.dropped, 60);
    EXPECT_EQ(s.requests, 100);
    // Every intact reply still carries the memory exactly.
    for (const auto& f : b.out.frames) {
        if (f[1] == 5) {
            EXPECT_TRUE(std::equal(f.begin() + DataOffset, f.end() - 1, b.core->GetMemory().begin()));
        }
    }
}

TEST(ControllerCore, SilentControllerSendsNothing) {
    SimOptions o;
    o.silent = true;
    Bench b(o);
    b.Run(5s);
    EXPECT_TRUE(b.out.writes.empty());
    b.core->Receive(BuildReadFrame(0, 64), b.now);
    b.Run(1s);
    EXPECT_TRUE(b.out.writes.empty());
}

// The tool's link (receive path and transactions) against a noisy controller, with its
// clean twin beside it, on a clock that moves only while the transactions wait: every
// step, what each controller sends comes due; the noisy one's characters reach the
// receive path as one chunk (as one read of the port would take them), the twin's are
// kept. Requests go to both at the same moment.
struct TwinBench : IEventPump, IPortWriter {
    static constexpr std::chrono::milliseconds kStep{2};
    TimePoint now = TimePoint{} + 100h;
    ControllerCore core;
    CleanTwin twin;
    LinkState state;
    ReceivePath rx{state, [this] { return now; }};
    LinkTrace trace;
    std::string noisySent;  // every character the noisy controller sent
    Transactions tx{state, *this, *this, [this](const std::string&) { trace.MarkSend(); }, [this] { return now; }};

    explicit TwinBench(const SimOptions& o) : core(o, now), twin(o, now) { trace.Attach(rx, state); }

    // Moves the clock step by step until something arrived or maxWait has passed.
    void RunPending(std::chrono::milliseconds maxWait) override {
        const TimePoint end = now + maxWait;
        while (now < end) {
            now = std::min(now + kStep, end);
            std::string chunk;
            for (const auto& w : core.TakeDue(now)) chunk += w;
            for (const auto& w : twin.core.TakeDue(now)) twin.sent += w;
            if (!chunk.empty()) {
                noisySent += chunk;
                rx.Chunk(chunk);
                return;
            }
        }
    }
    void WriteString(const std::string& text) override {
        core.Receive(text, now);
        twin.core.Receive(text, now);
    }
};

// What a noisy line lets through, request by request, compared with the clean twin: the
// tool shows only status records the controller really sent, every transaction ends as its
// reply dictates, and every block and journal record accepted is
// the controller's. Reads near the end of memory get short replies, which must fail. The
// only corruption let through is one no check can see: intact hex text on the line and a
// matching check byte (TwinCheck.h); it stays rare.
TEST(ControllerCore, ANoisyLineDeliversOnlyWhatTheCleanTwinSent) {
    SimOptions o;
    o.interval = 50ms;
    o.noise = 0.02;
    o.drop = 0.05;
    o.chunked = true;
    o.seed = 20261208;
    o.eventRecords = 30;
    TwinBench b(o);
    const TwinContent twin{b.twin.core.GetMemory(), b.twin.core.Journal(0)};

    RoundTally tally;
    for (int round = 0; b.now < TimePoint{} + 100h + 120s; ++round) {
        CheckedRound(b.tx, b.trace, twin, [&b] { return b.noisySent; }, round, 4, tally);
    }
    const auto clean = StatusFramesIn(b.twin.sent);
    const Comparison statuses = CompareShownWithTwin(b.trace.shown, clean, b.noisySent);

    // Enough traffic, and enough of each kind of trouble, for the comparison to mean something.
    const LinkCounters& n = b.state.Counters;
    EXPECT_GE(statuses.compared, 300u);
    EXPECT_LE(statuses.checkBlind + static_cast<std::size_t>(tally.checkBlind), 3u);
    EXPECT_GE(tally.blocks, 40);
    EXPECT_GE(tally.records, 10);
    EXPECT_GE(tally.shortAsked, 50);
    EXPECT_GE(n.ShortReply, 3u);
    EXPECT_GE(n.BadCheck, 1000u);
    EXPECT_GE(n.CorruptReply, 20u);
    EXPECT_GE(n.WrongCode, 5u);
    // The line really was that bad: most of what the twin sent never reached the tool intact.
    EXPECT_LT(b.trace.shown.size(), clean.size() / 2);
}

// A read and both journals, chained, and with a controller listening only after status frames.
TEST(ControllerCore, ChainedRequestsAndTheirFallbackReadTheSame) {
    for (const bool refuses : {false, true}) {
        SimOptions o;
        o.listenAfterStatus = refuses;
        TwinBench b(o);
        auto op = b.tx.Begin();
        ConfigImage image{};
        EXPECT_TRUE(ReadConfiguration(op, image).Ok && image == b.core.GetMemory()) << refuses;
        TransactionsJournalReader reader(op);
        const JournalReading journals = ReadJournals(reader);
        EXPECT_EQ(journals.events.size() + journals.alarms.size(), 48u) << refuses;
        // 8 + 50 answered; refused: one ignored, and one status frame for each answered.
        const SimStats& stats = b.core.Stats();
        EXPECT_EQ(std::make_tuple(stats.requests, stats.late, stats.statusFrames, b.state.ChainingOff),
                  refuses ? std::make_tuple(59, 1, 58, true) : std::make_tuple(58, 0, 1, false));
    }
}

}  // namespace
}  // namespace lum::sim
