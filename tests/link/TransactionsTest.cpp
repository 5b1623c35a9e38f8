#include <gtest/gtest.h>

#include "link/ReceivePath.h"
#include "link/Transactions.h"
#include "tests/link/FakeLine.h"

namespace lum {
namespace {

using namespace std::chrono_literals;
using test::Pattern;
using test::StatusFrame;
using test::WireFrame;

// The receive path and the transactions over a scripted line.
struct Link {
    test::ScriptedPump pump;
    LinkState state;
    ReceivePath rx{state, pump.Clock()};
    test::RecordingPort port{pump};
    int noController = 0;  // commands that found no controller frame
    std::vector<std::string> echo;
    std::vector<bool> busy;
    Transactions tx{
        state, port, pump, [this](const std::string& line) { echo.push_back(line); }, pump.Clock()};
    const test::TimePoint start = pump.now;

    Link() {
        tx.BusyChanged = [this](bool b) { busy.push_back(b); };
        tx.NoController = [this] { ++noController; };
    }
    void FrameAt(std::chrono::milliseconds offset, std::string text) {
        pump.At(offset, [this, text] { rx.Chunk(text); });
    }
    // The controller answers every request `delay` after it with `reply`.
    void AnswerWith(std::string reply, std::chrono::milliseconds delay = 30ms) {
        port.onWrite = [this, reply, delay](const std::string&) { FrameAt(delay, reply); };
    }
    std::chrono::milliseconds SinceStart() const { return pump.Elapsed(start); }
    std::vector<std::chrono::milliseconds> SentAt() const {
        std::vector<std::chrono::milliseconds> at;
        for (const auto& w : port.writes) at.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(w.at - start));
        return at;
    }
};

TEST(Transactions, CommandOnASilentLineReportsNoControllerAfterFiveTicksAndSendsNothing) {
    Link link;
    link.state.TransferOk = true;
    EXPECT_EQ(link.tx.SendCommand(34, 0, 0), TxResult::NoControllerFrame);
    EXPECT_EQ(link.noController, 1);
    EXPECT_TRUE(link.port.writes.empty());
    EXPECT_TRUE(link.echo.empty());
    EXPECT_EQ(link.state.WaitTicks, 5);
    EXPECT_EQ(link.SinceStart(), 1500ms);
    EXPECT_EQ(link.state.Counters.PreSendTimeouts, 1u);
    EXPECT_TRUE(link.state.TransferOk);  // a command leaves the flag alone
    // The wait slept from tick to tick instead of spinning.
    EXPECT_LE(link.pump.calls, 6);
    EXPECT_EQ(link.busy, (std::vector<bool>{true, false}));
}

TEST(Transactions, FramesOfAnotherKindDoNotReleaseAWaitButCorruptedOnesDo) {
    Link link;
    link.FrameAt(100ms, WireFrame(0, 21, std::vector<std::uint8_t>(36, 0)));
    link.tx.SendCommand(32, 0, 0);
    EXPECT_EQ(link.noController, 1);
    EXPECT_TRUE(link.port.writes.empty());

    Link corrupted;
    corrupted.FrameAt(400ms, WireFrame(1, 21, std::vector<std::uint8_t>(36, 0), 0x99));
    corrupted.tx.SendCommand(32, 0, 0);
    EXPECT_TRUE(corrupted.noController == 0);
    ASSERT_EQ(corrupted.port.writes.size(), 1u);
    EXPECT_EQ(corrupted.port.writes[0].at - corrupted.start, 400ms);
}

TEST(Transactions, CommandIsSentRightAfterTheNextFrameAndEchoed) {
    Link link;
    link.FrameAt(700ms, StatusFrame());
    const std::uint8_t seconds[] = {0x15, 0x18};
    EXPECT_EQ(link.tx.SendCommand(50, 0, 2, seconds), TxResult::Done);
    ASSERT_EQ(link.port.writes.size(), 1u);
    EXPECT_EQ(link.port.writes[0].at - link.start, 700ms);
    EXPECT_EQ(link.port.writes[0].text, BuildFrame(50, 0, 2, seconds));
    EXPECT_EQ(link.echo, (std::vector<std::string>{"<< " + BuildFrame(50, 0, 2, seconds)}));
    EXPECT_TRUE(link.noController == 0);
    EXPECT_EQ(link.state.WaitTicks, 2);  // 700 ms: two whole ticks had passed
}

TEST(Transactions, WriteBlockWaitsTenTicksThenGivesUpWithoutABox) {
    Link link;
    link.state.TransferOk = true;
    const auto data = Pattern(64, 0);
    EXPECT_EQ(link.tx.SendWriteBlock(4, 60, data), TxResult::NoControllerFrame);
    EXPECT_FALSE(link.state.TransferOk);
    EXPECT_EQ(link.SinceStart(), 3000ms);
    EXPECT_TRUE(link.port.writes.empty());
    EXPECT_TRUE(link.noController == 0);

    link.FrameAt(2900ms, StatusFrame());
    EXPECT_EQ(link.tx.SendWriteBlock(4, 60, data), TxResult::Done);
    EXPECT_TRUE(link.state.TransferOk);
    ASSERT_EQ(link.port.writes.size(), 1u);
    EXPECT_EQ(link.port.writes[0].text, BuildWriteFrame(4, 60, data));
    EXPECT_EQ(link.echo, (std::vector<std::string>{"<< " + BuildWriteFrame(4, 60, data)}));
}

TEST(Transactions, ReadBlockCopiesExactlyTheCountAskedFor) {
    Link link;
    link.FrameAt(400ms, StatusFrame());
    // The reply carries 70 bytes and its Count field says 10; 64 were asked for.
    link.AnswerWith(WireFrame(1, 5, Pattern(70, 100), -1, 10));
    std::vector<std::uint8_t> dest(80, 0xEE);
    EXPECT_EQ(link.tx.ReadBlock(64, 64, dest), TxResult::Done);
    EXPECT_TRUE(link.state.TransferOk);
    const auto expected = Pattern(64, 100);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), dest.begin()));
    for (std::size_t i = 64; i < dest.size(); ++i) EXPECT_EQ(dest[i], 0xEE) << i;
    ASSERT_EQ(link.port.writes.size(), 1u);
    EXPECT_EQ(link.port.writes[0].at - link.start, 400ms);
    EXPECT_EQ(link.port.writes[0].text, BuildReadFrame(64, 64));
    EXPECT_EQ(link.echo, (std::vector<std::string>{"<<" + BuildReadFrame(64, 64)}));
}

TEST(Transactions, ReadBlockFailsAndLeavesTheDestinationWithoutAGoodReply) {
    struct Case {
        const char* name;
        std::string reply;
        std::uint32_t LinkCounters::*counter;
    };
    const std::vector<Case> cases = {
        {"bad check", WireFrame(1, 5, Pattern(64, 1), 0x00), &LinkCounters::CorruptReply},
        {"journal code", WireFrame(1, 40, Pattern(64, 1)), &LinkCounters::WrongCode},
        {"status only", StatusFrame(), &LinkCounters::WrongCode},
        // Fewer data bytes than asked for: the rest of RxFrame holds an older frame.
        {"short", WireFrame(1, 5, Pattern(10, 1)), &LinkCounters::ShortReply},
        {"63 bytes", WireFrame(1, 5, Pattern(63, 1)), &LinkCounters::ShortReply},
    };
    for (const auto& c : cases) {
        Link link;
        link.rx.Chunk(WireFrame(1, 9, Pattern(120, 0x50)));  // fills RxFrame with other bytes
        link.FrameAt(100ms, StatusFrame());
        link.AnswerWith(c.reply);
        std::vector<std::uint8_t> dest(64, 0xEE);
        EXPECT_FALSE(Ok(link.tx.ReadBlock(0, 64, dest))) << c.name;
        EXPECT_FALSE(link.state.TransferOk) << c.name;
        EXPECT_EQ(dest, std::vector<std::uint8_t>(64, 0xEE)) << c.name;
        EXPECT_EQ(link.state.Counters.*c.counter, 1u) << c.name;
        EXPECT_EQ(link.port.writes.size(), 1u) << c.name;
    }
}

TEST(Transactions, TheReplyIsTheFirstFrameOfItsCodeAndTheFramesBeforeItAreDispatched) {
    const std::string reply = WireFrame(1, 5, Pattern(64, 3));
    // What comes 30 ms after the request, and 300 ms after it; status records shown.
    const std::vector<std::tuple<std::string, std::string, int>> cases = {
        {StatusFrame() + reply, "", 1},
        {WireFrame(1, 21, Pattern(36, 1), 0x00) + StatusFrame() + WireFrame(1, 40, Pattern(64, 1)), reply, 1},
    };
    for (const auto& [first, later, shown] : cases) {
        Link link;
        int decoded = 0;
        link.rx.DecodeStatusRecord = [&](const LinkState&) { ++decoded; };
        link.port.onWrite = [&, first = first, later = later](const std::string&) {
            link.FrameAt(30ms, first), link.FrameAt(300ms, later);
        };
        link.rx.Chunk(StatusFrame());
        std::vector<std::uint8_t> dest(64, 0);
        EXPECT_EQ(link.tx.ReadBlock(0, 64, dest), TxResult::Done) << shown;
        EXPECT_EQ(dest, Pattern(64, 3));
        EXPECT_EQ(decoded, 1 + shown);
    }
}

TEST(Transactions, TheReplyIsTheFirstFrameEvenWhenTheNextOneComesInTheSameChunk) {
    Link link;
    link.FrameAt(100ms, StatusFrame());
    link.AnswerWith(WireFrame(1, 5, Pattern(64, 3)) + StatusFrame());
    std::vector<std::uint8_t> dest(64, 0);
    EXPECT_EQ(link.tx.ReadBlock(192, 64, dest), TxResult::Done);
    EXPECT_EQ(dest, Pattern(64, 3));
    EXPECT_EQ(link.state.RxFrame[1], 21);  // RxFrame itself moved on to the status frame
}

TEST(Transactions, ReplyMustArriveWithinTwoTicks) {
    for (const auto delay : {590ms, 610ms}) {
        Link link;
        link.FrameAt(100ms, StatusFrame());
        link.AnswerWith(WireFrame(1, 5, Pattern(64, 3)), delay);
        std::vector<std::uint8_t> dest(64, 0);
        const TxResult result = link.tx.ReadBlock(0, 64, dest);
        const bool ok = Ok(result);
        EXPECT_EQ(result, delay < 600ms ? TxResult::Done : TxResult::NoReply) << delay.count();
        EXPECT_EQ(link.state.Counters.ReplyTimeouts, ok ? 0u : 1u);
        if (!ok) {
            EXPECT_EQ(link.state.WaitTicks, 2);
            EXPECT_EQ(dest, std::vector<std::uint8_t>(64, 0));
        }
    }
    // With no frame at all nothing is sent.
    Link silent;
    std::vector<std::uint8_t> dest(64, 0);
    EXPECT_EQ(silent.tx.ReadBlock(0, 64, dest), TxResult::NoControllerFrame);
    EXPECT_TRUE(silent.port.writes.empty());
    EXPECT_EQ(silent.state.Counters.PreSendTimeouts, 1u);
}

TEST(Transactions, AWatchedCancelTokenEndsEveryWaitWithoutSending) {
    // Set before the first frame (nothing sent), or while the reply is awaited.
    for (const auto when : {100ms, 500ms}) {
        Link link;
        link.FrameAt(200ms, StatusFrame());
        link.AnswerWith(WireFrame(1, 5, Pattern(64, 3)), 1000ms);  // too late anyway
        CancelToken token;
        link.pump.At(when, [&] { token.Request(); });
        Transactions::Operation op = link.tx.Begin();
        op.WatchCancel(&token);
        std::vector<std::uint8_t> dest(64, 0);
        const std::size_t sent = when < 200ms ? 0 : 1;
        EXPECT_EQ(op.ReadBlock(0, 64, dest), TxResult::Cancelled) << when.count();
        EXPECT_EQ(link.SinceStart(), when) << when.count();
        EXPECT_EQ(link.port.writes.size(), sent) << when.count();
        EXPECT_EQ(link.state.Counters.ReplyTimeouts + link.state.Counters.PreSendTimeouts, 0u);
        EXPECT_EQ(dest, std::vector<std::uint8_t>(64, 0));
        // Every later request of the operation ends at once, nothing sent, no box.
        EXPECT_EQ(op.SendWriteBlock(0, 1, dest), TxResult::Cancelled);
        EXPECT_EQ(op.SendCommand(32, 0, 0), TxResult::Cancelled);
        EXPECT_EQ(link.port.writes.size(), sent);
        EXPECT_EQ(link.noController, 0);
        // The token goes with the operation: the next one waits as before.
        op.Release();
        EXPECT_NE(link.tx.ReadBlock(0, 64, dest), TxResult::Cancelled);
    }
}

TEST(Transactions, JournalRecordRequestAndReply) {
    Link link;
    link.FrameAt(100ms, StatusFrame());
    link.AnswerWith(WireFrame(1, 40, {0x07, 0x05, 0x31, 0x12, 0x03}));
    std::uint8_t record[5] = {};
    EXPECT_EQ(link.tx.ReadJournalRecord(3, JournalSelector::Events, record), TxResult::Done);
    EXPECT_EQ(std::vector<std::uint8_t>(record, record + 5),
              (std::vector<std::uint8_t>{7, 5, 0x31, 0x12, 3}));
    ASSERT_EQ(link.port.writes.size(), 1u);
    EXPECT_EQ(link.port.writes[0].text,
              "\x10"
              "0028000002000329\r");  // selector first, then index
    EXPECT_EQ(link.echo, (std::vector<std::string>{"<<\x10"
                                                   "0028000002000329\r"}));

    link.FrameAt(100ms, StatusFrame());
    link.AnswerWith(WireFrame(1, 5, {1, 2, 3, 4, 5}));
    std::uint8_t other[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(link.tx.ReadJournalRecord(4, JournalSelector::Alarms, other), TxResult::WrongCode);
    EXPECT_EQ(std::vector<std::uint8_t>(other, other + 5), std::vector<std::uint8_t>(5, 9));
}

TEST(Transactions, ASecondRequestIsRefusedWhileOneWaits) {
    Link link;
    std::vector<std::uint8_t> dest(64, 0xEE);
    TxResult secondResult = TxResult::Done;
    // While the command waits, the user presses other buttons.
    link.pump.At(200ms, [&] {
        EXPECT_TRUE(link.tx.Busy());
        EXPECT_EQ(link.tx.SendCommand(33, 0, 0), TxResult::Refused);
        secondResult = link.tx.ReadBlock(0, 64, dest);
        auto op = link.tx.Begin();
        EXPECT_FALSE(op);
    });
    link.FrameAt(500ms, StatusFrame());
    link.tx.SendCommand(32, 0, 0);
    EXPECT_EQ(secondResult, TxResult::Refused);
    EXPECT_FALSE(link.state.TransferOk);
    EXPECT_EQ(link.state.Counters.Refused, 3u);
    EXPECT_TRUE(link.noController == 0);  // no box for a refused command
    ASSERT_EQ(link.port.writes.size(), 1u);
    EXPECT_EQ(link.port.writes[0].text, BuildFrame(32, 0, 0));
    EXPECT_EQ(link.port.writes[0].at - link.start, 500ms);  // the refused ones did not disturb the wait
    EXPECT_EQ(dest, std::vector<std::uint8_t>(64, 0xEE));
    EXPECT_EQ(link.busy, (std::vector<bool>{true, false}));
    EXPECT_FALSE(link.tx.Busy());
}

TEST(Transactions, AnOperationHoldsTheSlotAcrossItsTransactions) {
    Link link;
    link.AnswerWith(WireFrame(1, 5, Pattern(64, 7)));
    {
        auto op = link.tx.Begin();
        ASSERT_TRUE(op);
        EXPECT_EQ(link.busy, (std::vector<bool>{true}));
        // Between its steps nothing else gets in.
        link.tx.SendCommand(48, 0, 0);
        EXPECT_EQ(link.tx.SendWriteBlock(0, 4, Pattern(4, 0)), TxResult::Refused);
        EXPECT_EQ(link.state.Counters.Refused, 2u);
        std::vector<std::uint8_t> image(256, 0xFF);
        for (int block = 0; block < 4; ++block) {
            link.FrameAt(100ms, StatusFrame());
            EXPECT_EQ(op.ReadBlock(static_cast<std::uint16_t>(64 * block), 64,
                                   std::span(image).subspan(64 * block, 64)), TxResult::Done);
        }
        EXPECT_EQ(link.port.writes.size(), 4u);
        EXPECT_EQ(link.busy, (std::vector<bool>{true}));
    }
    EXPECT_EQ(link.busy, (std::vector<bool>{true, false}));
    link.FrameAt(100ms, StatusFrame());
    link.tx.SendCommand(48, 0, 0);
    EXPECT_EQ(link.port.writes.size(), 5u);

    // A token moved from is empty; an empty token refuses.
    auto first = link.tx.Begin();
    auto second = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_TRUE(second);
    EXPECT_EQ(first.SendWriteBlock(0, 4, Pattern(4, 0)), TxResult::Refused);
    second.Release();
    EXPECT_FALSE(link.tx.Busy());
}

TEST(Transactions, APortErrorPropagatesAndFreesTheSlot) {
    Link link;
    link.port.fail = true;
    link.FrameAt(100ms, StatusFrame());
    link.state.TransferOk = true;
    EXPECT_THROW(link.tx.SendWriteBlock(184, 8, Pattern(8, 0x31)), std::runtime_error);
    EXPECT_FALSE(link.state.TransferOk);
    EXPECT_FALSE(link.tx.Busy());
    EXPECT_EQ(link.state.Counters.PortErrors, 1u);
    EXPECT_EQ(link.state.Counters.Refused, 0u);

    link.port.fail = false;
    link.FrameAt(100ms, StatusFrame());
    EXPECT_EQ(link.tx.SendWriteBlock(184, 8, Pattern(8, 0x31)), TxResult::Done);
}

TEST(Transactions, RequestsFromInsideTheReceivePathAreRefused) {
    Link link;
    int refusedInside = -1;
    link.rx.DecodeStatusRecord = [&](const LinkState&) {
        link.tx.SendCommand(34, 0, 0);
        refusedInside = static_cast<int>(link.state.Counters.Refused);
    };
    link.rx.Chunk(StatusFrame());
    EXPECT_EQ(refusedInside, 1);
    EXPECT_TRUE(link.port.writes.empty());
    EXPECT_TRUE(link.noController == 0);
    EXPECT_TRUE(link.busy.empty());
}

TEST(Transactions, RequestsOfAnOperationChainOffItsRepliesOnly) {
    Link link;
    link.FrameAt(100ms, StatusFrame());
    link.AnswerWith(WireFrame(1, 5, Pattern(64, 7)));
    std::vector<std::uint8_t> dest(64);
    auto first = link.tx.Begin();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(first.ReadBlock(0, 64, dest), TxResult::Done);
    first.Release();
    // Not the first request of the next operation, nor a write (it is never confirmed).
    auto op = link.tx.Begin();
    link.FrameAt(200ms, StatusFrame());
    EXPECT_EQ(op.ReadBlock(0, 64, dest), TxResult::Done);
    link.FrameAt(500ms, StatusFrame());
    EXPECT_EQ(op.SendWriteBlock(4, 4, dest), TxResult::Done);
    EXPECT_EQ(link.SentAt(), (std::vector<std::chrono::milliseconds>{100ms, 130ms, 160ms, 390ms, 920ms}));
    EXPECT_FALSE(link.state.ChainingOff);
}

// A controller that listens only after its status frames: the chained request goes
// unanswered; it is asked again right after the next frame (within the reply wait or
// after it), and the rest of the connection goes the plain way.
TEST(Transactions, AChainedRequestWithoutAReplyTurnsChainingOffAndIsAskedAgain) {
    // Status frames every `next`; the chained request at 130 ms is not heard, and the frames that
    // come within its reply wait (600 ms) do not cut it short: it is asked again at the end of the
    // wait when a status frame came less than 100 ms before (at 700 ms), else after the next one;
    // the third read after the frame that follows.
    const struct {
        std::chrono::milliseconds next;
        std::vector<std::chrono::milliseconds> sent;
    } cases[] = {{300ms, {100ms, 130ms, 730ms, 1000ms}}, {1000ms, {100ms, 130ms, 1100ms, 2100ms}}};
    for (const auto& [next, sent] : cases) {
        Link link;
        link.port.onWrite = [&link](const std::string&) {
            if (link.state.LastFrameWasStatus) link.FrameAt(30ms, WireFrame(1, 5, Pattern(64, 7)));
        };
        for (int i = 0; i < 5; ++i) link.FrameAt(100ms + i * next, StatusFrame());
        auto op = link.tx.Begin();
        std::vector<std::uint8_t> dest(64);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(op.ReadBlock(0, 64, dest), TxResult::Done) << i;
        EXPECT_EQ(link.SentAt(), sent) << next.count();
        EXPECT_TRUE(link.state.ChainingOff);
        EXPECT_EQ(link.state.Counters.ReplyTimeouts + link.state.Counters.WrongCode, 0u);
        link.tx.NewConnection();
        EXPECT_FALSE(link.state.ChainingOff);
    }
}

// A line with latency: a status frame already on its way comes before the reply to a chained
// request; the request is not asked again (the controller would answer twice) and the chain holds.
TEST(Transactions, AFrameOnItsWayBeforeAChainedReplyKeepsTheChain) {
    Link link;
    link.FrameAt(100ms, StatusFrame());
    link.port.onWrite = [&link](const std::string&) {
        link.FrameAt(10ms, StatusFrame());
        link.FrameAt(200ms, WireFrame(1, 5, Pattern(64, 7)));
    };
    auto op = link.tx.Begin();
    std::vector<std::uint8_t> dest(64);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(op.ReadBlock(0, 64, dest), TxResult::Done) << i;
    EXPECT_EQ(link.SentAt(), (std::vector<std::chrono::milliseconds>{100ms, 300ms, 500ms}));
    EXPECT_FALSE(link.state.ChainingOff);
}

TEST(Transactions, BadArgumentsAreRefusedBeforeAnythingIsSent) {
    Link link;
    link.FrameAt(100ms, StatusFrame());
    std::vector<std::uint8_t> small(10);
    EXPECT_THROW(link.tx.ReadBlock(0, 64, small), std::invalid_argument);
    EXPECT_THROW(link.tx.SendCommand(4, 0, 123, std::vector<std::uint8_t>(200)), FrameError);
    EXPECT_TRUE(link.port.writes.empty());
    EXPECT_FALSE(link.tx.Busy());
    EXPECT_EQ(link.SinceStart(), 0ms);
}

}  // namespace
}  // namespace lum
