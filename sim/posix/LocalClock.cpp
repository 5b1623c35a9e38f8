#include "sim/LocalClock.h"

#include <ctime>

namespace lum::sim {

ClockTime LocalClock() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100};
}

}  // namespace lum::sim
