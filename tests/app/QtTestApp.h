#pragma once
// One application object (TApplication) for the GUI tests of this program (offscreen platform),
// and a wait that turns the event loop until a condition holds. Main (GUI) thread only.
//
// Qt Test's checking macros (its TRY_, COMPARE and VERIFY families) report to Qt Test, not to
// GoogleTest: a failed one leaves the GoogleTest test passing. Check with EXPECT_/ASSERT_ over
// WaitUntil instead; the `qt_test_macros` test keeps them out of tests/.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

#include "app/Application.h"
#include "app/Pages.h"
#include "tests/support/ScriptedDialogs.h"

namespace lum::test {

inline TApplication& EnsureApp() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static TApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new TApplication(argc, argv);
    }();
    return *app;
}

// Runs the event loop until `pred` holds or `ms` milliseconds pass (generous bounds for a
// loaded machine); returns whether it holds.
inline bool WaitUntil(const std::function<bool()>& pred, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return pred();
}

}  // namespace lum::test
