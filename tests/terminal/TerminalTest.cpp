// The terminal fed by the receive path: line splitting, numbering, the display switch,
// sent frames, the length bound, the log switches and log failures.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/FakeLine.h"
#include "tests/terminal/TerminalFixture.h"

namespace lum {
namespace {

using test::StatusFrame;
using test::TerminalRig;

TEST(Terminal, EachLineIsOneEntryWithItsOwnStampAcrossChunks) {
    TerminalRig r;
    r.term.SetShowData(true);
    r.rx.Chunk(
        "\x10"
        "01");
    EXPECT_FALSE(r.term.HasPending());  // nothing until the carriage return
    r.rx.Chunk(
        "02\r\x10"
        "0");  // the end of one line and the start of the next
    r.rx.Chunk("3");
    r.rx.Chunk(
        "\r"
        "A\r"
        "B\r"
        "tail");
    EXPECT_EQ(r.Shown(), (std::vector<std::string>{"0 08/12 22:15:30:000 ␐0102␍", "1 08/12 22:15:30:001 ␐03␍",
                                                   "2 08/12 22:15:30:002 A␍", "3 08/12 22:15:30:003 B␍"}));
    EXPECT_EQ(r.rx.LineBuffer(), "tail");
    EXPECT_EQ(r.term.LineCount(), 4u);
    // One signal per batch, not per line.
    EXPECT_EQ(r.pendingSignals, 1);
    r.rx.Chunk("\r");
    EXPECT_EQ(r.pendingSignals, 2);
}

TEST(Terminal, NumberingGoesOnAcrossAClearAndThroughLinesNotShown) {
    TerminalRig r;
    r.term.SetShowData(true);
    r.rx.Chunk("a\rb\r");
    r.term.ClearScreen();
    EXPECT_FALSE(r.term.HasPending());
    r.rx.Chunk("c\r");
    r.term.SetShowData(false);
    r.rx.Chunk("d\r");  // counted, not shown
    r.term.SetShowData(true);
    r.rx.Chunk("e\r");
    const auto shown = r.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].substr(0, 2), "2 ");
    EXPECT_EQ(shown[1].substr(0, 2), "4 ");
    EXPECT_EQ(r.term.LineCount(), 5u);
}

TEST(Terminal, DisplayOffStillShowsSentFramesInOrder) {
    TerminalRig r;
    EXPECT_FALSE(r.term.ShowData());  // off at start
    r.rx.Chunk(StatusFrame());
    r.term.SentFrame(
        "<< \x10"
        "002200000022\r");
    r.rx.Chunk(StatusFrame());
    r.term.SentFrame(
        "<<\x10"
        "0005000040"
        "41\r");
    EXPECT_EQ(r.Shown(), (std::vector<std::string>{"<< ␐002200000022␍", "<<␐000500004041␍"}));
    r.term.SetShowData(true);
    r.rx.Chunk("x\r");
    r.term.SentFrame("<< y");
    const auto shown = r.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].substr(0, 2), "2 ");  // received, then sent, as they happened
    EXPECT_EQ(shown[1], "<< y");
    EXPECT_EQ(r.state.RxFrameCount, 2u);
}

TEST(Terminal, OverlongLineIsCutAndTheNextLineIsWhole) {
    for (const std::size_t chunk : {std::size_t{30}, std::size_t{5000}}) {
        SCOPED_TRACE(chunk);
        TerminalRig r;
        r.term.SetShowData(true);
        const std::string noise(5000, 'A');
        std::size_t longest = 0;
        for (std::size_t i = 0; i < noise.size(); i += chunk) {
            r.rx.Chunk(noise.substr(i, chunk));
            longest = std::max(longest, r.rx.LineBuffer().size());
        }
        EXPECT_LE(longest, kLineLimit);  // never holds more than the bound between chunks
        r.rx.Chunk(StatusFrame());
        r.rx.Chunk("B\r");
        const auto shown = r.Shown();
        // Every 'A' is shown once, in cut entries; the frame and the line after it are whole.
        ASSERT_GE(shown.size(), 3u);
        std::size_t as = 0;
        for (std::size_t i = 0; i + 2 < shown.size(); ++i) {
            EXPECT_TRUE(shown[i].ends_with(kCutMark)) << shown[i].substr(0, 40);
            as += std::count(shown[i].begin(), shown[i].end(), 'A');
        }
        EXPECT_EQ(as, noise.size());
        EXPECT_TRUE(shown[shown.size() - 2].ends_with(" " + VisibleText(StatusFrame())));
        EXPECT_FALSE(shown[shown.size() - 2].ends_with(kCutMark));
        EXPECT_TRUE(shown.back().ends_with(" B␍"));
        EXPECT_EQ(r.state.RxFrameCount, 1u);  // the frame after the noise is still decoded
        EXPECT_EQ(r.rx.LineBuffer(), "");
    }
}

TEST(Terminal, CutLineEndingInACarriageReturnMarksItsTailToo) {
    TerminalRig r;
    r.term.SetShowData(true);
    r.rx.Chunk(std::string(4097, 'x'));
    r.rx.Chunk("yy\rz\r");
    const auto shown = r.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_TRUE(shown[0].ends_with(std::string(4097, 'x') + kCutMark));
    EXPECT_TRUE(shown[1].ends_with(" yy␍" + std::string(kCutMark)));
    EXPECT_TRUE(shown[2].ends_with(" z␍"));
    EXPECT_EQ(r.term.LineCount(), 3u);
}

TEST(Terminal, LineOfExactlyTheLimitWaitsForItsCarriageReturn) {
    TerminalRig r;
    r.term.SetShowData(true);
    r.rx.Chunk(std::string(kLineLimit, 'q'));
    EXPECT_FALSE(r.term.HasPending());
    r.rx.Chunk("\r");
    const auto shown = r.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].ends_with("q␍"));
}

TEST(Terminal, LogSwitchesShareOneLogThatClosesWhenBothAreOff) {
    TerminalRig r;
    r.term.SetLogFileName("/tmp/traffic.txt");
    EXPECT_FALSE(r.term.LogSwitchChange(false, true).SwitchesOff);  // iSwitchLed3 on
    EXPECT_TRUE(r.term.LogActive());
    EXPECT_TRUE(r.log.open);
    r.term.LogSwitchChange(true, true);   // iSwitchLed1 on too: the open log stays open
    r.term.LogSwitchChange(false, true);  // iSwitchLed1 off again
    EXPECT_TRUE(r.term.LogActive());
    EXPECT_TRUE(r.log.open);
    EXPECT_EQ(r.log.opens, 1);
    r.rx.Chunk("L\r");
    r.term.LogSwitchChange(false, false);  // iSwitchLed3 off too
    EXPECT_FALSE(r.term.LogActive());
    EXPECT_FALSE(r.log.open);
    r.rx.Chunk("M\r");
    EXPECT_EQ(r.log.lines, (std::vector<std::string>{"0 08/12 22:15:30:000 L\r"}));
    EXPECT_EQ(r.term.LineCount(), 2u);
}

TEST(Terminal, DisplayAndLogEachReadTheClock) {
    TerminalRig r;
    r.term.SetShowData(true);
    r.term.SetLogFileName("log.txt");
    r.term.LogSwitchChange(true, false);
    r.rx.Chunk(
        "\x10"
        "1\r");
    EXPECT_EQ(r.Shown(), (std::vector<std::string>{"0 08/12 22:15:30:000 ␐1␍"}));
    EXPECT_EQ(r.log.lines, (std::vector<std::string>{"0 08/12 22:15:30:001 \x10"
                                                     "1\r"}));
}

TEST(Terminal, LogSwitchWithoutAFileNameWarnsAndLogsNothing) {
    TerminalRig r;
    r.term.SetShowData(true);
    const LogSwitchOutcome out = r.term.LogSwitchChange(true, false);
    EXPECT_TRUE(out.Warn);
    EXPECT_TRUE(out.SwitchesOff);
    EXPECT_TRUE(out.DisplayOff);
    EXPECT_FALSE(r.term.ShowData());
    EXPECT_FALSE(r.term.LogActive());
    EXPECT_EQ(r.log.opens, 0);
    r.rx.Chunk("a\r");
    EXPECT_TRUE(r.log.lines.empty());
    EXPECT_FALSE(r.term.TakeError());
}

TEST(Terminal, LogOpenFailureIsReportedOnceAndReceptionGoesOn) {
    TerminalRig r;
    r.log.failOpen = true;
    r.term.SetShowData(true);
    r.term.SetLogFileName("/no/such/folder/log.txt");
    EXPECT_TRUE(r.term.LogSwitchChange(true, false).SwitchesOff);
    EXPECT_FALSE(r.term.LogActive());
    EXPECT_EQ(r.failures, 1);
    EXPECT_EQ(r.term.TakeError(), "cannot open /no/such/folder/log.txt");
    EXPECT_FALSE(r.term.TakeError());
    for (int i = 0; i < 3; ++i) r.rx.Chunk(StatusFrame());
    EXPECT_EQ(r.state.RxFrameCount, 3u);
    EXPECT_EQ(r.Shown().size(), 3u);
    EXPECT_EQ(r.failures, 1);
}

TEST(Terminal, LogWriteFailureSwitchesLoggingOffOnceWithoutLosingAFrame) {
    TerminalRig r;
    r.log.failWriteAt = 2;
    r.term.SetLogFileName("log.txt");
    r.term.LogSwitchChange(false, true);
    // Two frames and a half in one chunk, then the rest: the second write fails.
    const std::string f = StatusFrame();
    r.rx.Chunk(f + f + f.substr(0, 10));
    r.rx.Chunk(f.substr(10) + f);
    EXPECT_EQ(r.state.RxFrameCount, 4u);
    EXPECT_EQ(r.failures, 1);
    EXPECT_EQ(r.log.writes, 2);  // nothing more is tried once logging is off
    EXPECT_EQ(r.log.lines.size(), 1u);
    EXPECT_FALSE(r.term.LogActive());
    EXPECT_FALSE(r.log.open);
    EXPECT_EQ(r.term.TakeError(), "disk full");
    EXPECT_FALSE(r.term.TakeError());
    EXPECT_EQ(r.term.LineCount(), 4u);
}

}  // namespace
}  // namespace lum
