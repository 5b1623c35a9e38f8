#pragma once
// The link's health in one line for the terminal page: the counters the receive path and
// the transactions keep, "Цепочка выкл" once requests no longer chain off the controller's
// replies (LinkState::ChainingOff), and the time since the last controller frame. A line
// on which no controller frame has arrived for kSilentAfter is silent (the window paints
// it red).
//
// Threads: main thread only (it reads the LinkState the receive path writes).
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "link/LinkState.h"

namespace lum {

inline constexpr std::chrono::milliseconds kSilentAfter{3000};

struct HealthView {
    std::string Text;  // the panel's one line
    bool Silent = false;
};

// The panel's tooltip: what each counter means.
std::string LinkHealthTooltip();

class LinkHealth {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    explicit LinkHealth(Clock clock = [] { return std::chrono::steady_clock::now(); });

    // A controller frame was counted (the receive path's FrameCounted hook). Before the
    // first one, silence is measured from the construction.
    void FrameSeen();
    // The panel for the counters now.
    HealthView Describe(const LinkState& link) const;

  private:
    Clock clock_;
    std::chrono::steady_clock::time_point since_;
    bool seen_ = false;
};

}  // namespace lum
