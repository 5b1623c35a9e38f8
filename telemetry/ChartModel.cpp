#include "telemetry/ChartModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace lum {

const std::array<ChartChannelInfo, kChartChannelCount> kChartChannels = {{
    {"Phase A", "Фаза А", std::nullopt, 2},
    {"Phase B", "Фаза B", kRgbYellow, 2},
    {"Phase C", "Фаза C", kRgbLime, 2},
    {"Phase GU", "Фаза ГУ", kRgbBlue, 2},
    {"NTC_VALUE", "Температура", Rgb{255, 128, 255}, 1},
    {"VCC_VOLTAGE", "Напряжение ГУ", kRgbAqua, 1},
    {"START_MODE", "START_MODE", kRgbWhite, 0},
    {"WORK_MODE", "WORK_MODE", Rgb{255, 128, 64}, 0},
}};

const std::array<ChartYAxisInfo, kChartYAxisCount> kChartYAxes = {{
    {"Y-Axis 1", 0, 10, 0.0, 0.2708, true, true},
    {"Y-Axis 2", -20, 100, 0.2708, 0.6292, true, true},
    {"Y-Axis 3", 0, 300, 0.6292, 1.0, true, false},
}};

namespace {
constexpr double kMaxOffsetMs = std::numeric_limits<std::uint32_t>::max();
}

// ---- ChartSeries ---------------------------------------------------------------

void ChartSeries::Append(double time, double value) {
    if (!std::isfinite(time)) return;
    if (!blocks_.empty()) {
        const Block& last = *blocks_.back();
        const double newest = last.base + last.lastMs / 1000.0;
        if (time < newest) time = newest;
    }
    double offsetMs = 0;
    Block* block = blocks_.empty() ? nullptr : blocks_.back().get();
    if (block) {
        offsetMs = std::round((time - block->base) * 1000.0);
        if (block->points.size() >= kBlockPoints || offsetMs > kMaxOffsetMs) block = nullptr;
    }
    if (!block) {
        auto fresh = std::make_unique<Block>();
        fresh->base = time;
        fresh->first = count_;
        fresh->points.reserve(kBlockPoints);
        blocks_.push_back(std::move(fresh));
        block = blocks_.back().get();
        offsetMs = 0;
    }
    const auto ms = static_cast<std::uint32_t>(std::max(offsetMs, static_cast<double>(block->lastMs)));
    block->points.push_back({ms, static_cast<float>(value)});
    block->lastMs = ms;
    ++count_;
}

ChartPoint ChartSeries::Unpack(const Block& b, std::size_t i) const {
    const Packed& p = b.points[i];
    return {b.base + p.offsetMs / 1000.0, static_cast<double>(p.value)};
}

std::size_t ChartSeries::BlockOf(std::size_t index) const {
    // The last block whose first index is not above `index`.
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), index,
                               [](std::size_t i, const std::unique_ptr<Block>& b) { return i < b->first; });
    return static_cast<std::size_t>(it - blocks_.begin()) - 1;
}

ChartPoint ChartSeries::At(std::size_t index) const {
    const Block& b = *blocks_[BlockOf(index)];
    return Unpack(b, index - b.first);
}

std::size_t ChartSeries::LowerBound(double time) const {
    if (blocks_.empty()) return 0;
    // The first block whose newest point is not before `time` holds the answer.
    auto it = std::partition_point(blocks_.begin(), blocks_.end(), [&](const std::unique_ptr<Block>& b) {
        return b->base + b->lastMs / 1000.0 < time;
    });
    if (it == blocks_.end()) return count_;
    const Block& b = **it;
    std::size_t lo = 0;
    std::size_t hi = b.points.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (Unpack(b, mid).time < time)
            lo = mid + 1;
        else
            hi = mid;
    }
    return b.first + lo;
}

void ChartSeries::ForEach(std::size_t from, std::size_t to,
                          const std::function<void(const ChartPoint&)>& fn) const {
    to = std::min(to, count_);
    if (from >= to) return;
    for (std::size_t bi = BlockOf(from); bi < blocks_.size(); ++bi) {
        const Block& b = *blocks_[bi];
        if (b.first >= to) break;
        const std::size_t begin = from > b.first ? from - b.first : 0;
        const std::size_t end = std::min(b.points.size(), to - b.first);
        for (std::size_t i = begin; i < end; ++i) fn(Unpack(b, i));
    }
}

std::size_t ChartSeries::MemoryBytes() const {
    std::size_t bytes = sizeof(*this) + blocks_.capacity() * sizeof(blocks_[0]);
    for (const auto& b : blocks_) bytes += sizeof(Block) + b->points.capacity() * sizeof(Packed);
    return bytes;
}

// ---- ChartModel ----------------------------------------------------------------

void ChartModel::AddPoint(int channel, double time, double value) {
    if (channel < 0 || channel >= kChartChannelCount || !std::isfinite(time)) return;
    ChartSeries& s = series_[static_cast<std::size_t>(channel)];
    s.Append(time, value);
    const double stored = s.Back().time;
    if (!newest_ || stored > *newest_) newest_ = stored;
    ++revision_;
}

std::size_t ChartModel::TotalPoints() const {
    std::size_t n = 0;
    for (const auto& s : series_) n += s.size();
    return n;
}

ChartRange ChartModel::LatestWindow(double now) const {
    const double end = newest_.value_or(now);
    return {end - kChartWindowSeconds, end};
}

ChartRange ChartModel::YAxisRange(int axis, ChartRange window) const {
    const ChartYAxisInfo& info = kChartYAxes.at(static_cast<std::size_t>(axis));
    ChartRange r{info.min, info.max};
    for (int c = 0; c < kChartChannelCount; ++c) {
        if (kChartChannels[static_cast<std::size_t>(c)].yAxis != axis) continue;
        const ChartSeries& s = series_[static_cast<std::size_t>(c)];
        const std::size_t from = s.LowerBound(window.min);
        const std::size_t to =
            s.LowerBound(std::nextafter(window.max, std::numeric_limits<double>::infinity()));
        s.ForEach(from, to, [&](const ChartPoint& p) {
            if (info.followsLow && p.value < r.min) r.min = p.value;
            if (info.followsHigh && p.value > r.max) r.max = p.value;
        });
    }
    return r;
}

void ChartModel::VisiblePoints(int channel, ChartRange window, int columns,
                               std::vector<ChartPoint>& out) const {
    out.clear();
    if (channel < 0 || channel >= kChartChannelCount || columns <= 0 || !(window.max > window.min)) return;
    const ChartSeries& s = series_[static_cast<std::size_t>(channel)];
    const std::size_t from = s.LowerBound(window.min);
    const std::size_t to = s.LowerBound(std::nextafter(window.max, std::numeric_limits<double>::infinity()));
    if (from > 0 && (from < s.size())) out.push_back(s.At(from - 1));
    const std::size_t inside = to - from;
    if (inside <= 2 * static_cast<std::size_t>(columns)) {
        s.ForEach(from, to, [&](const ChartPoint& p) { out.push_back(p); });
    } else {
        // Lowest and highest point per column, kept in time order.
        const double perColumn = (window.max - window.min) / columns;
        long column = -1;
        ChartPoint lo{}, hi{};
        auto flush = [&] {
            if (column < 0) return;
            if (lo.time <= hi.time) {
                out.push_back(lo);
                if (hi.time != lo.time || hi.value != lo.value) out.push_back(hi);
            } else {
                out.push_back(hi);
                out.push_back(lo);
            }
        };
        // The window's first and last points always come along, so the line runs from
        // the window's edge to the newest value even when neither is a column's extreme.
        const ChartPoint first = s.At(from);
        const ChartPoint last = s.At(to - 1);
        const auto same = [](const ChartPoint& a, const ChartPoint& b) {
            return a.time == b.time && a.value == b.value;
        };
        bool firstFlush = true;
        auto flushWithEdges = [&] {
            if (column < 0) return;
            if (firstFlush && !same(first, lo) && !same(first, hi)) out.push_back(first);
            firstFlush = false;
            flush();
        };
        s.ForEach(from, to, [&](const ChartPoint& p) {
            long c = static_cast<long>((p.time - window.min) / perColumn);
            c = std::clamp(c, 0L, static_cast<long>(columns) - 1);
            if (c != column) {
                flushWithEdges();
                column = c;
                lo = hi = p;
                return;
            }
            if (p.value < lo.value) lo = p;
            if (p.value > hi.value) hi = p;
        });
        flushWithEdges();
        if (!same(out.back(), last)) out.push_back(last);
    }
    if (to < s.size() && to > 0) out.push_back(s.At(to));
}

void ChartModel::WriteCsv(std::ostream& out, const std::function<std::string(double)>& formatTime) const {
    const auto fmt = formatTime ? formatTime : FormatUtcTime;
    out << "time,channel,value\n";
    std::array<std::size_t, kChartChannelCount> next{};
    std::array<std::optional<ChartPoint>, kChartChannelCount> head{};
    // Merge the channels by time, one block-ordered cursor per channel.
    auto load = [&](int c) {
        const ChartSeries& s = series_[static_cast<std::size_t>(c)];
        auto& i = next[static_cast<std::size_t>(c)];
        head[static_cast<std::size_t>(c)] = i < s.size() ? std::optional<ChartPoint>(s.At(i)) : std::nullopt;
        ++i;
    };
    for (int c = 0; c < kChartChannelCount; ++c) load(c);
    char value[64];
    for (;;) {
        int best = -1;
        for (int c = 0; c < kChartChannelCount; ++c) {
            const auto& h = head[static_cast<std::size_t>(c)];
            if (h && (best < 0 || h->time < head[static_cast<std::size_t>(best)]->time)) best = c;
        }
        if (best < 0) break;
        const ChartPoint p = *head[static_cast<std::size_t>(best)];
        std::snprintf(value, sizeof value, "%.9g", p.value);
        out << fmt(p.time) << ',' << kChartChannels[static_cast<std::size_t>(best)].name << ',' << value
            << '\n';
        load(best);
    }
}

std::size_t ChartModel::MemoryBytes() const {
    std::size_t bytes = sizeof(*this) - sizeof(series_);
    for (const auto& s : series_) bytes += s.MemoryBytes();
    return bytes;
}

std::string FormatUtcTime(double time) {
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    const double ms = std::floor(time * 1000.0 + 0.5);
    long long totalMs = static_cast<long long>(ms);
    long long days = totalMs / 86400000;
    long long rem = totalMs % 86400000;
    if (rem < 0) {
        rem += 86400000;
        --days;
    }
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld", y, m, d,
                  rem / 3600000, rem / 60000 % 60, rem / 1000 % 60, rem % 1000);
    return text;
}

}  // namespace lum
