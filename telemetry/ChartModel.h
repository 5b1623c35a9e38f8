#pragma once
// The data of the time diagrams: eight channels of (time, value) points, three Y axes, and
// the questions the chart asks when it draws: which points fall into the visible window,
// which Y range each axis needs, and a reduced set of points per pixel column.
//
// Times are seconds since 1970-01-01 00:00 UTC (wall clock); the chart shows them as local
// times of day. Points are kept compactly (about 8 bytes each) in blocks, so that a week of
// records at one per second fits in a few tens of megabytes, and nothing is ever dropped.
//
// Main thread only (not synchronised).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "telemetry/Rgb.h"

namespace lum {

enum class ChartChannel : int {
    PhaseA = 0,
    PhaseB,
    PhaseC,
    PhaseGU,
    NTC_VALUE,
    VCC_VOLTAGE,
    START_MODE,
    WORK_MODE,
};
inline constexpr int kChartChannelCount = 8;

struct ChartChannelInfo {
    const char* name;
    const char* title;
    std::optional<Rgb> colour;  // nothing: the chart's default colour
    int yAxis;                  // index into kChartYAxes
};
extern const std::array<ChartChannelInfo, kChartChannelCount> kChartChannels;

struct ChartYAxisInfo {
    const char* name;
    double min;  // design range
    double max;
    double bandLow;  // share of the plot height, from the bottom
    double bandHigh;
    bool followsLow;  // the range widens to take in lower values
    bool followsHigh;
};
inline constexpr int kChartYAxisCount = 3;
extern const std::array<ChartYAxisInfo, kChartYAxisCount> kChartYAxes;

inline constexpr const char* kChartTitle = "Временные диаграммы";
inline constexpr double kChartWindowSeconds = 180.0;

struct ChartPoint {
    double time;
    double value;
};

// The points of one channel in time order. Each block keeps a base time and, per point,
// a 32-bit millisecond offset and a float value.
class ChartSeries {
  public:
    // Appends a point. A time earlier than the newest point's (the PC clock was set back)
    // is stored as the newest time, so the series stays ordered for searching.
    void Append(double time, double value);

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // O(log n).
    ChartPoint At(std::size_t index) const;
    ChartPoint Front() const { return At(0); }
    ChartPoint Back() const { return At(count_ - 1); }
    // Index of the first point whose time is not before `time` (size() when none). O(log n).
    std::size_t LowerBound(double time) const;
    // Calls fn(point) for the indices [from, to), in order.
    void ForEach(std::size_t from, std::size_t to, const std::function<void(const ChartPoint&)>& fn) const;
    // Bytes held by the series, allocation slack included.
    std::size_t MemoryBytes() const;

    // Points per block; a block also ends when its offsets would exceed 32 bits of milliseconds.
    static constexpr std::size_t kBlockPoints = 4096;

  private:
    struct Packed {
        std::uint32_t offsetMs;
        float value;
    };
    struct Block {
        double base = 0;             // seconds
        std::size_t first = 0;       // index of the block's first point in the series
        std::uint32_t lastMs = 0;    // offset of the newest point
        std::vector<Packed> points;  // reserved to kBlockPoints
    };
    ChartPoint Unpack(const Block& b, std::size_t i) const;
    std::size_t BlockOf(std::size_t index) const;

    std::vector<std::unique_ptr<Block>> blocks_;
    std::size_t count_ = 0;
};

struct ChartRange {
    double min;
    double max;
};

class ChartModel {
  public:
    // Appends a point to a channel (0-7); other channel numbers are ignored.
    void AddPoint(int channel, double time, double value);

    const ChartSeries& Series(int channel) const { return series_.at(static_cast<std::size_t>(channel)); }
    std::size_t TotalPoints() const;
    // The time of the newest point of any channel, or nothing while all are empty.
    std::optional<double> NewestTime() const { return newest_; }
    // Grows by one with every point added; a view redraws when it has changed.
    std::uint64_t Revision() const { return revision_; }

    // The 180 s window that ends at the newest point (or ends at `now` while empty).
    ChartRange LatestWindow(double now) const;
    // The range of a Y axis for the points of its channels inside the time window: the design
    // range, widened at the ends the axis follows to take in every value shown.
    ChartRange YAxisRange(int axis, ChartRange window) const;

    // Points of a channel to draw across `columns` pixel columns of the time window: every
    // point when there are few, otherwise per column the lowest and the highest (in time
    // order), so at most two per column whatever the history holds, and the window's first
    // and last points. The nearest point outside each end of the window comes along so lines
    // run to the edges.
    void VisiblePoints(int channel, ChartRange window, int columns, std::vector<ChartPoint>& out) const;

    // Every point of every channel as comma-separated lines "time,channel,value" after a
    // header line, in time order (points of equal time in channel order). formatTime turns a
    // time into text; without one, UTC as "YYYY-MM-DD hh:mm:ss.zzz".
    void WriteCsv(std::ostream& out, const std::function<std::string(double)>& formatTime = {}) const;

    std::size_t MemoryBytes() const;

  private:
    std::array<ChartSeries, kChartChannelCount> series_;
    std::optional<double> newest_;
    std::uint64_t revision_ = 0;
};

// A time as UTC "YYYY-MM-DD hh:mm:ss.zzz".
std::string FormatUtcTime(double time);

}  // namespace lum
