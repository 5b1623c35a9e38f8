#include "app/QtEventPump.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "tests/app/QtTestApp.h"

namespace lum {
namespace {

using namespace std::chrono_literals;

TEST(QtEventPump, SleepsOnAnIdleLoopInsteadOfSpinning) {
    test::EnsureApp();
    QtEventPump pump;
    QElapsedTimer t;
    t.start();
    int passes = 0;
    while (t.elapsed() < 300) {
        pump.RunPending(100ms);
        ++passes;
    }
    // A polling wait would make thousands of passes; a sleeping one a handful.
    EXPECT_LT(passes, 30);
}

TEST(QtEventPump, RunsAnEventThatArrivesWhileItSleeps) {
    test::EnsureApp();
    QtEventPump pump;
    bool ran = false;
    QTimer::singleShot(10, [&] { ran = true; });
    QElapsedTimer t;
    t.start();
    while (!ran && t.elapsed() < 5000) pump.RunPending(2000ms);
    EXPECT_TRUE(ran);
    EXPECT_LT(t.elapsed(), 2000);  // woke for the event, not for the bound
}

}  // namespace
}  // namespace lum
