#include "device/Reconnect.h"

#include <algorithm>
#include <utility>

namespace lum {

std::chrono::milliseconds ReconnectPause(int attempt) {
    std::chrono::milliseconds pause = kFirstReconnectPause;
    for (int i = 0; i < attempt && pause < kLongestReconnectPause; ++i) pause *= 2;
    return std::min(pause, kLongestReconnectPause);
}

std::string ReconnectingText(const std::string& portName) {
    return "Переподключение к " + portName + "…";
}

Reconnector::Reconnector(OpenFn open, std::function<bool()> busy, Clock clock)
    : open_(std::move(open)), busy_(std::move(busy)), clock_(std::move(clock)) {}

void Reconnector::Enable(bool on) {
    enabled_ = on;
    if (!on) Stop();
}

void Reconnector::Lost(const std::string& portName) {
    if (!enabled_ || opening_) return;
    portName_ = portName;
    attempts_ = 0;
    Schedule(ReconnectPause(0));
}

void Reconnector::Stop() {
    due_.reset();
    attempts_ = 0;
}

void Reconnector::Schedule(std::chrono::milliseconds pause) {
    due_ = clock_() + pause;
    if (Arm) Arm(pause);
}

bool Reconnector::Tick() {
    if (!due_ || opening_) return false;
    const auto now = clock_();
    if (now < *due_) {
        if (Arm) Arm(std::chrono::ceil<std::chrono::milliseconds>(*due_ - now));
        return false;
    }
    if (busy_ && busy_()) {
        Schedule(kBusyRecheckPause);
        return false;
    }
    if (Attempting) Attempting(portName_);
    ++attempts_;
    bool opened = false;
    opening_ = true;
    try {
        open_();
        opened = true;
    } catch (...) {
        // Still gone: the next attempt after a longer pause.
    }
    opening_ = false;
    if (!due_) return false;  // stopped while opening
    if (!opened) {
        Schedule(ReconnectPause(attempts_));
        return false;
    }
    due_.reset();
    if (Resumed) Resumed(portName_);
    return true;
}

}  // namespace lum
