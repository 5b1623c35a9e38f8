// The interrupt flag the per-OS Ctrl-C handlers set (an atomic store: safe in a handler).
#include <atomic>

#include "cli/Platform.h"

namespace lum::cli {
namespace {
std::atomic<bool> gInterrupted{false};
}  // namespace

bool Interrupted() {
    return gInterrupted;
}

void RequestInterrupt() {
    gInterrupted = true;
}

}  // namespace lum::cli
