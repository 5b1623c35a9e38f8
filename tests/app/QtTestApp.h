#pragma once
// One application object (TApplication) for the GUI tests of this program (offscreen platform).
#include "app/Application.h"

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

}  // namespace lum::test
