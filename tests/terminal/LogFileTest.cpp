// The log on disk: appended to, never truncated; failures to open and to write are
// reported once and leave reception running.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Cp1251.h"
#include "link/FakeLine.h"
#include "terminal/LogFile.h"
#include "terminal/Terminal.h"
#include "tests/terminal/TerminalFixture.h"

namespace lum {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TerminalLogFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("lum-terminal-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A terminal over a real log file, fed by a receive path.
    struct Rig {
        test::StepClock clock;
        StdLogFile file;
        Terminal term{clock, file};
        LinkState state;
        ReceivePath rx{state};
        int failures = 0;
        Rig() {
            rx.LineStep = [this](std::string& b) { term.LineStep(b); };
            term.LogFailed = [this] { ++failures; };
        }
    };
    fs::path dir;
};

TEST_F(TerminalLogFile, ExistingLogIsAppendedToAndMissingOneCreated) {
    const fs::path log = dir / "журнал.txt";
    { std::ofstream(log, std::ios::binary) << "earlier line\n"; }
    Rig r;
    r.term.SetLogFileName(log.string());
    r.term.LogSwitchChange(true, false);
    r.rx.Chunk(
        "\x10"
        "0102\r\x10");
    r.term.LogSwitchChange(false, false);
    r.term.LogSwitchChange(false, true);  // again, through the other switch
    r.rx.Chunk("03\r");
    r.term.LogSwitchChange(false, false);
    EXPECT_EQ(ReadFile(log),
              "earlier line\n"
              "0 08/12 22:15:30:000 \x10"
              "0102\r\n"
              "1 08/12 22:15:30:001 \x10"
              "03\r\n");

    const fs::path fresh = dir / "new.txt";
    r.term.SetLogFileName(fresh.string());
    r.term.LogSwitchChange(true, false);
    r.rx.Chunk("x\r");
    EXPECT_EQ(ReadFile(fresh), "2 08/12 22:15:30:002 x\r\n");  // written as it arrives
    EXPECT_EQ(r.failures, 0);
}

// A new name while logging: the old file gets nothing more, the new one is appended to; a
// name that cannot be opened switches logging off once.
TEST_F(TerminalLogFile, NewNameWhileLoggingMovesTheLogToTheNewFile) {
    const fs::path first = dir / "first.txt", second = dir / "second.txt";
    { std::ofstream(second, std::ios::binary) << "kept\n"; }
    Rig r;
    r.term.SetLogFileName(first.string());
    r.term.LogSwitchChange(true, false);
    r.rx.Chunk("a\r");
    EXPECT_TRUE(r.term.SetLogFileName(second.string()));
    r.rx.Chunk("b\r");
    EXPECT_EQ(ReadFile(first), "0 08/12 22:15:30:000 a\r\n");
    EXPECT_EQ(ReadFile(second), "kept\n1 08/12 22:15:30:001 b\r\n");
    EXPECT_TRUE(r.term.SetLogFileName(second.string()));  // the same name: the file stays open
    EXPECT_FALSE(r.term.SetLogFileName((dir / "none" / "x.txt").string()));
    EXPECT_TRUE(!r.term.LogActive() && r.failures == 1 && r.term.TakeError());
    r.rx.Chunk("c\r");
    EXPECT_EQ(ReadFile(second), "kept\n1 08/12 22:15:30:001 b\r\n");
}

TEST_F(TerminalLogFile, CutEntryIsLoggedWithItsMark) {
    const fs::path log = dir / "cut.txt";
    Rig r;
    r.term.SetLogFileName(log.string());
    r.term.LogSwitchChange(true, false);
    r.rx.Chunk(std::string(kLineLimit + 1, 'n'));
    r.term.LogSwitchChange(false, false);
    EXPECT_EQ(ReadFile(log),
              "0 08/12 22:15:30:000 " + std::string(kLineLimit + 1, 'n') + Utf8ToCp1251(kCutMark) + "\n");
}

TEST_F(TerminalLogFile, LogInAFolderThatCannotHoldItFailsOnceAndFramesAreStillCounted) {
    // A folder path that runs through a plain file: no user, root included, can create it.
    { std::ofstream(dir / "plain"); }
    Rig r;
    r.term.SetShowData(true);
    r.term.SetLogFileName((dir / "plain" / "log.txt").string());
    const LogSwitchOutcome out = r.term.LogSwitchChange(true, false);
    EXPECT_TRUE(out.SwitchesOff);
    EXPECT_FALSE(out.Warn);
    EXPECT_FALSE(r.term.LogActive());
    const auto error = r.term.TakeError();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("log.txt"), std::string::npos) << *error;
    EXPECT_FALSE(r.term.TakeError());
    for (int i = 0; i < 5; ++i) r.rx.Chunk(test::StatusFrame());
    EXPECT_EQ(r.state.RxFrameCount, 5u);
    EXPECT_EQ(r.term.LineCount(), 5u);
    EXPECT_EQ(r.failures, 1);
}

TEST_F(TerminalLogFile, WriteFailureOnAFullDeviceFailsOnceAndFramesAreStillCounted) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    Rig r;
    r.term.SetLogFileName("/dev/full");
    r.term.LogSwitchChange(true, true);
    ASSERT_TRUE(r.term.LogActive());
    for (int i = 0; i < 5; ++i) r.rx.Chunk(test::StatusFrame());
    EXPECT_EQ(r.state.RxFrameCount, 5u);
    EXPECT_EQ(r.failures, 1);
    EXPECT_FALSE(r.term.LogActive());
    EXPECT_FALSE(r.term.LogOpen());
    const auto error = r.term.TakeError();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("/dev/full"), std::string::npos) << *error;
    EXPECT_FALSE(r.term.TakeError());
}

}  // namespace
}  // namespace lum
