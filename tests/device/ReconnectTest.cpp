// Reopening a lost port on a fake clock: the growing pause, the attempts a busy link holds
// back, and what stops them.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "device/Reconnect.h"

namespace lum {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

TEST(ReconnectPause, GrowsFromAQuarterSecondToFiveSeconds) {
    const struct {
        int attempt;
        milliseconds pause;
    } table[] = {{0, 250ms}, {1, 500ms}, {2, 1000ms}, {3, 2000ms}, {4, 4000ms}, {5, 5000ms}, {6, 5000ms}, {1000, 5000ms}};
    for (const auto& row : table) EXPECT_EQ(ReconnectPause(row.attempt), row.pause) << row.attempt;
    EXPECT_EQ(ReconnectingText("COM7"), "Переподключение к COM7…");
}

// A port lost at 0 and ticked every 50 ms of a fake clock for 12 s.
struct Scenario {
    const char* name;
    milliseconds backAt;        // the device opens from here on
    milliseconds busyUntil;     // a transaction holds the link until here
    milliseconds stopAt;        // the owner stops the attempts here (-1: never)
    bool enabled;
    std::vector<milliseconds> attempts;  // when the opens were tried
    int resumed;
};

TEST(Reconnector, AttemptsFollowTheScheduleUntilTheDeviceIsBack) {
    const Scenario table[] = {
        {"back after 3 s", 3000ms, 0ms, -1ms, true, {250ms, 750ms, 1750ms, 3750ms}, 1},
        {"never back", 99999ms, 0ms, -1ms, true, {250ms, 750ms, 1750ms, 3750ms, 7750ms, 12750ms}, 0},
        {"back at once", 0ms, 0ms, -1ms, true, {250ms}, 1},
        {"busy link holds the attempts", 0ms, 2100ms, -1ms, true, {2250ms}, 1},
        {"stopped", 99999ms, 0ms, 1000ms, true, {250ms, 750ms}, 0},
        {"not enabled", 0ms, 0ms, -1ms, false, {}, 0},
    };
    for (const auto& s : table) {
        milliseconds now{0};
        std::vector<milliseconds> tried;
        std::vector<std::string> notes;
        Reconnector r(
            [&] {
                tried.push_back(now);
                if (now < s.backAt) throw std::runtime_error("Invalid port number (COM7)");
            },
            [&] { return now < s.busyUntil; }, [&] { return std::chrono::steady_clock::time_point(now); });
        int resumed = 0;
        r.Attempting = [&](const std::string& port) { notes.push_back(port); };
        r.Resumed = [&](const std::string& port) {
            EXPECT_EQ(port, "COM7");
            ++resumed;
        };
        r.Enable(s.enabled);
        r.Lost("COM7");
        EXPECT_EQ(r.Waiting(), s.enabled) << s.name;
        for (; now <= 12800ms; now += 50ms) {
            if (now == s.stopAt) r.Stop();
            r.Tick();
        }
        EXPECT_EQ(tried, s.attempts) << s.name;
        EXPECT_EQ(notes.size(), s.attempts.size()) << s.name;  // a note before each attempt
        EXPECT_EQ(resumed, s.resumed) << s.name;
        EXPECT_FALSE(r.Tick()) << s.name;
    }
}

TEST(Reconnector, ANewLossStartsAgainFromTheShortestPauseAndArmsTheTimer) {
    milliseconds now{0};
    bool fail = true;
    std::vector<milliseconds> armed;
    Reconnector r([&] { if (fail) throw std::runtime_error("gone"); }, {},
                  [&] { return std::chrono::steady_clock::time_point(now); });
    r.Arm = [&](milliseconds pause) { armed.push_back(pause); };
    r.Enable(true);
    r.Lost("/dev/ttyUSB0");
    for (now = 250ms; now <= 1750ms; now += 250ms) r.Tick();  // 250, 750, 1750 tried
    EXPECT_EQ(r.Attempts(), 3);
    // Early ticks re-arm for what is left of the pause.
    EXPECT_EQ(armed, (std::vector<milliseconds>{250ms, 500ms, 250ms, 1000ms, 750ms, 500ms, 250ms, 2000ms}));
    fail = false;
    now = 3750ms;
    EXPECT_TRUE(r.Tick());
    EXPECT_FALSE(r.Waiting());
    r.Lost("/dev/ttyUSB0");
    EXPECT_EQ(r.Attempts(), 0);
    EXPECT_EQ(*r.Due(), std::chrono::steady_clock::time_point(now + 250ms));
    r.Enable(false);
    EXPECT_FALSE(r.Waiting());
}

}  // namespace
}  // namespace lum
