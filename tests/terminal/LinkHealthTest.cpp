// The health line: the link's counters, the time since the last controller frame and the
// silent-line flag.
#include <gtest/gtest.h>

#include "terminal/LinkHealth.h"

namespace lum {
namespace {

using namespace std::chrono_literals;

struct HealthRig {
    std::chrono::steady_clock::time_point now{};
    LinkHealth health{[this] { return now; }};
    LinkState link;
};

TEST(TerminalHealth, ShowsTheCountersAndTimeSinceTheLastFrame) {
    HealthRig r;
    r.link.RxFrameCount = 1234;
    r.link.Counters.BadCheck = 2;
    r.link.Counters.Malformed = 3;
    r.link.Counters.PreSendTimeouts = 4;
    r.link.Counters.ReplyTimeouts = 5;
    r.link.Counters.Refused = 6;
    EXPECT_EQ(r.health.Describe(r.link).Text, "Кадры 1234  КС 2  Иск 3  Тайм 9  Отк 6  Тишина —");
    r.health.FrameSeen();
    r.now += 430ms;
    r.link.ChainingOff = true;
    EXPECT_EQ(r.health.Describe(r.link).Text, "Кадры 1234  КС 2  Иск 3  Тайм 9  Отк 6  Цепочка выкл  Тишина 0,4 с");
    r.now += 12s;
    EXPECT_TRUE(r.health.Describe(r.link).Text.ends_with("Тишина 12 с"));
    r.now += 3min;
    EXPECT_TRUE(r.health.Describe(r.link).Text.ends_with("Тишина 3 мин 12 с"));
    r.now += 50s;
    EXPECT_TRUE(r.health.Describe(r.link).Text.ends_with("Тишина 4 мин 02 с"));
}

TEST(TerminalHealth, LineIsSilentAfterThreeSecondsWithoutAFrame) {
    HealthRig r;
    r.now += 2999ms;
    EXPECT_FALSE(r.health.Describe(r.link).Silent);
    r.now += 1ms;
    EXPECT_TRUE(r.health.Describe(r.link).Silent);  // nothing at all since start
    r.health.FrameSeen();
    EXPECT_FALSE(r.health.Describe(r.link).Silent);
    r.now += 2999ms;
    EXPECT_FALSE(r.health.Describe(r.link).Silent);
    r.now += 1ms;
    EXPECT_TRUE(r.health.Describe(r.link).Silent);
}

TEST(TerminalHealth, TooltipExplainsEveryCounterOfTheLine) {
    const std::string tip = "\n" + LinkHealthTooltip();
    EXPECT_NE(tip.find("\nЦепочка выкл — "), std::string::npos);
    for (const char* name : {"Кадры", "КС", "Иск", "Тайм", "Отк", "Тишина"}) {
        EXPECT_NE(HealthRig().health.Describe(LinkState{}).Text.find(name), std::string::npos) << name;
        EXPECT_NE(tip.find(std::string("\n") + name + " — "), std::string::npos)
            << name;  // each on a line of its own
    }
}

}  // namespace
}  // namespace lum
