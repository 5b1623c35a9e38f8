#include <gtest/gtest.h>

#include <cctype>

#include "link/ReceivePath.h"
#include "tests/link/FakeLine.h"

namespace lum {
namespace {

using test::Pattern;
using test::StatusFrame;
using test::WireFrame;

// A receive path with every hook recorded in one event list, in call order.
struct Recorder {
    LinkState state;
    ReceivePath rx{state};
    std::vector<std::string> events;
    std::vector<std::string> lines;
    int lineSteps = 0;

    Recorder() {
        rx.DecodeStatusRecord = [this](const LinkState& s) {
            events.push_back("status reply=" + std::to_string(s.ReplyArrived) +
                             " count=" + std::to_string(s.RxFrameCount) +
                             " model=" + std::to_string(s.RxFrame[DataOffset]));
        };
        rx.FrameCounted = [this](std::uint32_t n) { events.push_back("count " + std::to_string(n)); };
        rx.RestartTimer1 = [this] { events.push_back("timer"); };
        rx.LineStep = [this](std::string& line) {
            ++lineSteps;
            if (line.find('\r') == std::string::npos) return;  // keeps gathering
            lines.push_back(line);
            line.clear();
        };
    }
};

TEST(ReceivePath, FrameSplitOverThreeEventsWithGarbageInFront) {
    Recorder r;
    const std::string frame = WireFrame(1, 7, {0xAB, 0xCD});
    r.rx.Chunk("xyz");
    EXPECT_EQ(r.rx.RxBuffer(), "");
    r.rx.Chunk(frame.substr(0, 5));
    EXPECT_EQ(r.rx.RxBuffer(), frame.substr(0, 5));
    EXPECT_EQ(r.state.RxFrameCount, 0u);
    EXPECT_FALSE(r.state.ReplyArrived);
    r.rx.Chunk(frame.substr(5));
    EXPECT_EQ(r.rx.RxBuffer(), "");
    EXPECT_EQ(r.state.RxFrameCount, 1u);
    EXPECT_TRUE(r.state.ReplyArrived);
    EXPECT_EQ(r.state.RxFrameLength, 8u);
    EXPECT_EQ(r.state.RxFrame[1], 7);
    EXPECT_EQ(r.state.RxFrame[DataOffset + 1], 0xCD);
    EXPECT_TRUE(r.state.RxFrameCheckOk);
    // The timer restarts after every event; the count went up once.
    EXPECT_EQ(r.events, (std::vector<std::string>{"timer", "timer", "count 1", "timer"}));
}

TEST(ReceivePath, LettersThenStartByteAndTwoDigitsLeaveTheStartOfAFrame) {
    Recorder r;
    r.rx.Chunk(
        "abc\x10"
        "01");
    EXPECT_EQ(r.rx.RxBuffer(),
              "\x10"
              "01");
}

TEST(ReceivePath, EveryFrameOfAChunkIsDispatchedInOrderAndThePartialOneWaits) {
    Recorder r;
    const std::string third = StatusFrame(202);
    const std::string chunk =
        StatusFrame(200) + "noise" + WireFrame(1, 5, Pattern(4, 1)) + StatusFrame(201) + third.substr(0, 9);
    r.rx.Chunk(chunk);
    EXPECT_EQ(r.state.RxFrameCount, 3u);
    EXPECT_EQ(r.rx.RxBuffer(), third.substr(0, 9));
    EXPECT_EQ(r.events, (std::vector<std::string>{"count 1", "status reply=0 count=1 model=200", "count 2",
                                                  "count 3", "status reply=1 count=3 model=201", "timer"}));
    // The reply slot keeps the first frame; RxFrame the last.
    EXPECT_EQ(r.state.Reply.Bytes[1], 21);
    EXPECT_EQ(r.state.Reply.Bytes[DataOffset], 200);
    EXPECT_EQ(r.state.RxFrame[DataOffset], 201);

    r.events.clear();
    r.rx.Chunk(third.substr(9));
    EXPECT_EQ(r.state.RxFrameCount, 4u);
    EXPECT_EQ(r.rx.RxBuffer(), "");
    EXPECT_EQ(r.events, (std::vector<std::string>{"count 4", "status reply=1 count=4 model=202", "timer"}));
}

TEST(ReceivePath, StatusFrameIsCountedAndShownBeforeReplyArrived) {
    Recorder r;
    r.rx.Chunk(StatusFrame(30));
    EXPECT_EQ(r.events, (std::vector<std::string>{"count 1", "status reply=0 count=1 model=30", "timer"}));
    EXPECT_TRUE(r.state.ReplyArrived);
    EXPECT_EQ(FramesReceivedText(r.state.RxFrameCount), "Пакетов принято: 1");
    EXPECT_EQ(FramesReceivedText(123456), "Пакетов принято: 123456");
}

TEST(ReceivePath, IntactFramesOfAnotherKindAreDroppedSilently) {
    Recorder r;
    r.rx.Chunk(WireFrame(0, 21, std::vector<std::uint8_t>(36, 0)) + WireFrame(2, 5, {1, 2}));
    EXPECT_EQ(r.state.RxFrameCount, 0u);
    EXPECT_FALSE(r.state.ReplyArrived);
    EXPECT_EQ(r.state.Counters.BadCheck, 0u);
    EXPECT_EQ(r.state.Counters.Malformed, 0u);
    EXPECT_EQ(r.events, (std::vector<std::string>{"timer"}));
}

TEST(ReceivePath, CorruptedFramesAreCountedAndReleaseAWaitButAreNotActedOn) {
    Recorder r;
    // A status frame with a wrong check byte, one with its Kind byte hit, one with a
    // non-hex character and one written in lowercase.
    std::string nonHex = StatusFrame(201);
    nonHex[20] = 'G';
    std::string lower = WireFrame(1, 0x2A, {0xAB});
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::vector<std::string> corrupted = {
        WireFrame(1, 21, std::vector<std::uint8_t>(36, 7), 0x00),
        WireFrame(0x41, 21, std::vector<std::uint8_t>(36, 7), 0x14),
        nonHex,
        lower,
    };
    std::uint32_t n = 0;
    for (const auto& frame : corrupted) {
        r.state.ReplyArrived = false;
        r.rx.Chunk(frame);
        ++n;
        EXPECT_EQ(r.state.RxFrameCount, n) << n;
        EXPECT_EQ(r.state.Counters.BadCheck, n) << n;
        EXPECT_TRUE(r.state.ReplyArrived) << n;
        EXPECT_FALSE(r.state.Reply.CheckOk) << n;
        EXPECT_FALSE(r.state.RxFrameCheckOk) << n;
    }
    for (const auto& e : r.events) EXPECT_EQ(e.rfind("status", 0), std::string::npos) << e;
    // A good frame afterwards is shown again.
    r.rx.Chunk(StatusFrame(202));
    EXPECT_TRUE(r.state.RxFrameCheckOk);
    EXPECT_EQ(r.events[r.events.size() - 2], "status reply=1 count=5 model=202");
}

TEST(ReceivePath, RxFrameIsNeverWrittenPastItsEnd) {
    Recorder r;
    // 5 header bytes + 250 data bytes + check = 256: fits exactly.
    r.rx.Chunk(WireFrame(1, 9, Pattern(250, 0)));
    EXPECT_EQ(r.state.RxFrameLength, 256u);
    EXPECT_TRUE(r.state.RxFrameCheckOk);
    EXPECT_EQ(r.state.RxFrame[DataOffset + 249], 249);

    // One byte more is dropped without touching RxFrame or the counters of good frames.
    const RxFrameStore before = r.state.RxFrame;
    r.state.ReplyArrived = false;
    r.rx.Chunk(WireFrame(1, 9, Pattern(251, 0)));
    EXPECT_EQ(r.state.Counters.Malformed, 1u);
    EXPECT_EQ(r.state.RxFrameCount, 1u);
    EXPECT_FALSE(r.state.ReplyArrived);
    EXPECT_EQ(r.state.RxFrame, before);

    // A start byte followed by endless text without a terminator does not grow the buffer
    // without bound; it is counted once, and the next good frame still comes through.
    for (int i = 0; i < 100; ++i) r.rx.Chunk(i == 0 ? "\x10" + std::string(99, 'A') : std::string(100, 'A'));
    EXPECT_LE(r.rx.RxBuffer().size(), 2 * kRxFrameSize + 1);
    EXPECT_EQ(r.state.Counters.Malformed, 2u);
    r.rx.Chunk("AAAA\r" + StatusFrame());
    EXPECT_EQ(r.state.RxFrameCount, 2u);
    EXPECT_TRUE(r.state.RxFrameCheckOk);
}

TEST(ReceivePath, FramesTooShortOrCutOffAreDroppedAndTheNextStartByteResynchronises) {
    Recorder r;
    // A start byte then a terminator; one byte; a header without check byte.
    r.rx.Chunk(
        "\x10\r\x10"
        "01\r\x10"
        "0115000000\r");
    EXPECT_EQ(r.state.Counters.Malformed, 3u);
    EXPECT_EQ(r.state.RxFrameCount, 0u);
    EXPECT_FALSE(r.state.ReplyArrived);
    // A frame that lost its terminator, followed by a whole one in the same chunk and
    // in a later chunk.
    const std::string good = StatusFrame(201);
    r.rx.Chunk(good.substr(0, 30) + good);
    EXPECT_EQ(r.state.Counters.Malformed, 4u);
    EXPECT_EQ(r.state.RxFrameCount, 1u);
    EXPECT_TRUE(r.state.RxFrameCheckOk);
    r.rx.Chunk(good.substr(0, 30));
    r.rx.Chunk(good);
    EXPECT_EQ(r.state.Counters.Malformed, 5u);
    EXPECT_EQ(r.state.RxFrameCount, 2u);
    // A start byte arriving while a frame is still incomplete cuts the older piece off at once.
    r.rx.Chunk(good.substr(0, 30));
    r.rx.Chunk(good.substr(0, 10));
    EXPECT_EQ(r.state.Counters.Malformed, 6u);
    EXPECT_EQ(r.rx.RxBuffer(), good.substr(0, 10));
    r.rx.Chunk(good.substr(10));
    EXPECT_EQ(r.state.Counters.Malformed, 6u);
    EXPECT_EQ(r.state.RxFrameCount, 3u);
    EXPECT_EQ(r.state.Counters.BadCheck, 0u);
}

TEST(ReceivePath, LineHookSeesEveryChunkAndTakesWhatItHandsOn) {
    Recorder r;
    r.rx.Chunk(
        "\x10"
        "01");
    EXPECT_TRUE(r.lines.empty());
    EXPECT_EQ(r.lineSteps, 1);  // the hook sees what was gathered after every chunk
    EXPECT_EQ(r.rx.LineBuffer(), "\x10" "01");
    r.rx.Chunk(
        "02\r\x10"
        "0");
    r.rx.Chunk("3");
    r.rx.Chunk("\r");
    EXPECT_EQ(r.lines, (std::vector<std::string>{"\x10"
                                                 "0102\r\x10"
                                                 "0",
                                                 "3\r"}));
    EXPECT_EQ(r.rx.LineBuffer(), "");

    // Without a line hook the buffer is simply emptied.
    LinkState state;
    ReceivePath plain(state);
    plain.Chunk("abc");
    EXPECT_EQ(plain.LineBuffer(), "abc");
    plain.Chunk("d\re");
    EXPECT_EQ(plain.LineBuffer(), "");
}

TEST(ReceivePath, AnEventWithCountZeroDoesNothingAtAll) {
    Recorder r;
    int reads = 0;
    const std::string frame = StatusFrame();
    r.rx.DataReceived(0, [&] {
        ++reads;
        return frame;
    });
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(r.events.empty());
    r.rx.DataReceived(3, [&] {
        ++reads;
        return frame;
    });
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(r.state.RxFrameCount, 1u);
}

TEST(ReceivePath, AChunkArrivingInsideAHookIsFramedAfterItInOrder) {
    Recorder r;
    int depth = 0;
    int maxDepth = 0;
    bool nested = false;
    r.rx.DecodeStatusRecord = [&](const LinkState& s) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        EXPECT_TRUE(s.Dispatching);
        r.events.push_back("status model=" + std::to_string(s.RxFrame[DataOffset]));
        if (!nested) {
            nested = true;  // a nested event loop delivers the next chunk while the hook runs
            r.rx.Chunk(StatusFrame(201) +
                       "\x10"
                       "01");
        }
        --depth;
    };
    r.rx.Chunk(StatusFrame(200));
    EXPECT_EQ(maxDepth, 1);
    EXPECT_FALSE(r.state.Dispatching);
    EXPECT_EQ(r.events, (std::vector<std::string>{"count 1", "status model=200", "timer", "count 2",
                                                  "status model=201", "timer"}));
    EXPECT_EQ(r.rx.RxBuffer(),
              "\x10"
              "01");
    EXPECT_EQ(r.lines.size(), 2u);
}

}  // namespace
}  // namespace lum
