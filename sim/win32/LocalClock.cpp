#include "sim/LocalClock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace lum::sim {

ClockTime LocalClock() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wHour, t.wMinute, t.wSecond, t.wDay, t.wMonth, t.wYear % 100};
}

}  // namespace lum::sim
