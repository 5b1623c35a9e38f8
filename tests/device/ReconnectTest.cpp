// Reopening a lost port, on a fake clock ticked every 50 ms for 12.8 s after the loss.
#include <gtest/gtest.h>
#include <stdexcept>

#include "device/Reconnect.h"

namespace lum {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

TEST(Reconnector, AttemptsGrowApartUntilTheDeviceIsBackUnlessHeldOrStopped) {
    const struct {
        const char* name;
        milliseconds backAt, busyUntil, stopAt;  // the device opens from, a transaction holds the link until
        bool enabled;
        std::vector<milliseconds> attempts;  // when the opens were tried
    } table[] = {
        {"never back", 99999ms, 0ms, -1ms, true, {250ms, 750ms, 1750ms, 3750ms, 7750ms, 12750ms}},
        {"back after 3 s", 3000ms, 0ms, -1ms, true, {250ms, 750ms, 1750ms, 3750ms}},
        {"busy link holds them", 0ms, 2100ms, -1ms, true, {2250ms}},
        {"stopped", 99999ms, 0ms, 1000ms, true, {250ms, 750ms}},
        {"not enabled", 0ms, 0ms, -1ms, false, {}},
    };
    for (const auto& s : table) {
        milliseconds now{0};
        std::vector<milliseconds> tried;
        int notes = 0, resumed = 0;
        const auto open = [&] {
            if (tried.push_back(now); now < s.backAt) throw std::runtime_error("Invalid port number (COM7)");
        };
        Reconnector r(open, [&] { return now < s.busyUntil; }, [&] { return std::chrono::steady_clock::time_point(now); });
        r.Attempting = [&](const std::string& port) { notes += port == "COM7"; };
        r.Resumed = [&](const std::string&) { ++resumed; };
        r.Enable(s.enabled);
        r.Lost("COM7");
        for (; now <= 12800ms; now += 50ms) {
            if (now == s.stopAt) r.Stop();
            r.Tick();
        }
        EXPECT_EQ(tried, s.attempts) << s.name;
        EXPECT_EQ(notes, static_cast<int>(s.attempts.size())) << s.name;  // a note before each
        EXPECT_EQ(resumed, !tried.empty() && s.backAt <= tried.back() ? 1 : 0) << s.name;
        EXPECT_EQ(r.Waiting(), s.enabled && s.stopAt < 0ms && resumed == 0) << s.name;
    }
    EXPECT_EQ(ReconnectingText("COM7"), "Переподключение к COM7…");
}

}  // namespace lum
