#pragma once
// The proportional layout of the main window: where the gauges, displays and captions of
// the measurements page sit as fractions of the page control's size, and how the controls
// of the other pages follow its right and bottom edges. Pure functions of the sizes (no Qt
// types), any thread; the window applies the result to its controls.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lum::layout {

// x rounded to the nearest integer, halves to the even neighbour (47.5 gives 48, 28.5 gives 28).
int RoundEven(double x);
// num / den rounded the same way, computed exactly (den > 0).
int DivRoundEven(long long num, long long den);

struct Geometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Geometry&, const Geometry&) = default;
};

// Drawing sizes the rules give a gauge.
struct GaugeMetrics {
    int majorTickLength = 0;
    int minorTickLength = 0;
    int pointerSize = 0;
    std::optional<int> hubSize;  // dials only
    friend bool operator==(const GaugeMetrics&, const GaugeMetrics&) = default;
};

struct LayoutInput {
    int outerWidth = 0;  // the window's outer width (the page control's width)
    int clientWidth = 0;  // the window's client area (the status bar spans its bottom)
    int clientHeight = 0;
    int statusBarHeight = 0;
    // Current geometry of the controls, by object name (page coordinates).
    std::map<std::string, Geometry> controls;
};

struct LayoutResult {
    int W = 0;  // page control size after the first rule
    int H = 0;
    // Geometry of every control after the rules (unnamed controls as given).
    std::map<std::string, Geometry> controls;
    std::map<std::string, GaugeMetrics> gauges;
    // Controls a rule needed but the input did not hold; their rules were skipped.
    std::vector<std::string> missing;
};

// Applies every rule in order; applying it twice for the same sizes gives the same result.
LayoutResult ApplyLayoutRules(const LayoutInput& input);

// Width of the four temperature displays: the pitch of their bars less this gap.
inline constexpr int kTemperatureDisplayGap = 6;

// Every control the rules place, for a window that wants to collect its geometry.
const std::vector<std::string>& LayoutControlNames();

}  // namespace lum::layout
