#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>

#include "telemetry/ChartModel.h"

namespace lum {
namespace {

constexpr double kT0 = 1.7e9;  // some time in 2023

TEST(ChartChannels, NamesTitlesAndAxes) {
    std::vector<std::string> names;
    for (const auto& c : kChartChannels) names.emplace_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Phase A", "Phase B", "Phase C", "Phase GU", "NTC_VALUE",
                                               "VCC_VOLTAGE", "START_MODE", "WORK_MODE"}));
    // "Фаза А" ends in a Cyrillic letter, "Фаза B" and "Фаза C" in Latin ones.
    EXPECT_EQ(std::string(kChartChannels[0].title), "Фаза \xD0\x90");
    EXPECT_EQ(std::string(kChartChannels[1].title), "Фаза B");
    EXPECT_EQ(std::string(kChartChannels[2].title), "Фаза C");
    EXPECT_FALSE(kChartChannels[0].colour.has_value());
    EXPECT_EQ(kChartChannels[2].colour, kRgbLime);
    // Voltages on the top axis, temperature and battery in the middle, states at the bottom.
    for (int c : {0, 1, 2, 3}) EXPECT_EQ(kChartChannels[c].yAxis, 2);
    for (int c : {4, 5}) EXPECT_EQ(kChartChannels[c].yAxis, 1);
    for (int c : {6, 7}) EXPECT_EQ(kChartChannels[c].yAxis, 0);
    // The bands stack without gaps from the bottom to the top of the plot.
    EXPECT_EQ(kChartYAxes[0].bandLow, 0.0);
    EXPECT_EQ(kChartYAxes[0].bandHigh, kChartYAxes[1].bandLow);
    EXPECT_EQ(kChartYAxes[1].bandHigh, kChartYAxes[2].bandLow);
    EXPECT_EQ(kChartYAxes[2].bandHigh, 1.0);
}

TEST(ChartSeries, SearchAndIndexAcrossBlocks) {
    ChartSeries s;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> gap(0.0, 2.0);
    std::vector<double> times;
    double t = kT0;
    const std::size_t n = 3 * ChartSeries::kBlockPoints + 17;
    for (std::size_t i = 0; i < n; ++i) {
        t += std::round(gap(rng) * 1000) / 1000;  // whole milliseconds, repeats allowed
        times.push_back(t);
        s.Append(t, static_cast<double>(i));
    }
    ASSERT_EQ(s.size(), n);
    for (std::size_t i : {std::size_t{0}, ChartSeries::kBlockPoints - 1, ChartSeries::kBlockPoints, n - 1}) {
        EXPECT_NEAR(s.At(i).time, times[i], 5e-4) << i;  // kept to the millisecond
        EXPECT_EQ(s.At(i).value, static_cast<double>(i));
    }
    std::vector<double> stored;
    s.ForEach(0, n, [&](const ChartPoint& p) { stored.push_back(p.time); });
    ASSERT_EQ(stored.size(), n);
    std::uniform_real_distribution<double> probe(kT0 - 10, t + 10);
    for (int k = 0; k < 4000; ++k) {
        // Half of the probes hit stored times exactly.
        const double q = k % 2 ? stored[static_cast<std::size_t>(k) % n] : probe(rng);
        const auto expected = std::lower_bound(stored.begin(), stored.end(), q) - stored.begin();
        ASSERT_EQ(s.LowerBound(q), static_cast<std::size_t>(expected)) << std::fixed << q;
    }
    // ForEach over a range that spans a block boundary visits each index once, in order.
    std::vector<double> visited;
    s.ForEach(ChartSeries::kBlockPoints - 3, ChartSeries::kBlockPoints + 3,
              [&](const ChartPoint& p) { visited.push_back(p.value); });
    ASSERT_EQ(visited.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(visited[i], static_cast<double>(ChartSeries::kBlockPoints - 3 + i));
    visited.clear();
    s.ForEach(n - 2, n + 50, [&](const ChartPoint& p) { visited.push_back(p.value); });
    EXPECT_EQ(visited.size(), 2u);
}

TEST(ChartSeries, ClockSetBackKeepsTheSeriesOrdered) {
    ChartSeries s;
    s.Append(kT0 + 100, 1);
    s.Append(kT0 + 40, 2);  // the PC clock went back a minute
    s.Append(kT0 + 101, 3);
    EXPECT_DOUBLE_EQ(s.At(1).time, kT0 + 100);
    EXPECT_EQ(s.At(1).value, 2);
    EXPECT_EQ(s.LowerBound(kT0 + 100.5), 2u);
    EXPECT_EQ(s.LowerBound(kT0 + 50), 0u);
}

TEST(ChartSeries, LongGapsKeepMillisecondTimes) {
    // START_MODE may see a point only every few weeks; offsets must not overflow.
    ChartSeries s;
    const double day = 86400;
    const std::vector<double> times = {kT0, kT0 + 30 * day, kT0 + 60 * day + 0.123, kT0 + 400 * day + 0.5};
    for (double t : times) s.Append(t, 3);
    for (std::size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(s.At(i).time, times[i], 5e-4) << i;
    EXPECT_EQ(s.LowerBound(kT0 + 60 * day + 0.2), 3u);
}

TEST(ChartModel, WindowEndsAtTheNewestPoint) {
    ChartModel m;
    EXPECT_EQ(m.LatestWindow(kT0).max, kT0);
    EXPECT_EQ(m.LatestWindow(kT0).min, kT0 - 180);
    m.AddPoint(0, kT0 + 5, 220);
    m.AddPoint(7, kT0 + 9, 0);
    m.AddPoint(1, kT0 + 7, 220);
    const auto w = m.LatestWindow(kT0 + 1000);
    EXPECT_DOUBLE_EQ(w.max, kT0 + 9);
    EXPECT_DOUBLE_EQ(w.max - w.min, 180);
    EXPECT_EQ(m.TotalPoints(), 3u);
    const auto rev = m.Revision();
    m.AddPoint(8, kT0 + 10, 1);  // no such channel
    m.AddPoint(-1, kT0 + 10, 1);
    EXPECT_EQ(m.Revision(), rev);
    EXPECT_EQ(m.TotalPoints(), 3u);
}

TEST(ChartModel, YAxesFollowTheVisibleData) {
    ChartModel m;
    const ChartRange window{kT0, kT0 + 180};
    // Empty: the design ranges.
    EXPECT_EQ(m.YAxisRange(0, window).min, 0);
    EXPECT_EQ(m.YAxisRange(0, window).max, 10);
    EXPECT_EQ(m.YAxisRange(1, window).min, -20);
    EXPECT_EQ(m.YAxisRange(1, window).max, 100);
    EXPECT_EQ(m.YAxisRange(2, window).max, 300);

    m.AddPoint(4, kT0 - 50, -90);  // before the window: not looked at
    m.AddPoint(4, kT0 + 10, -30);  // temperature below the design range
    m.AddPoint(5, kT0 + 11, 13.5);
    m.AddPoint(7, kT0 + 12, 26);   // state code above 10
    m.AddPoint(0, kT0 + 13, 305);  // the top axis follows only its lower end
    m.AddPoint(1, kT0 + 14, -5);
    m.AddPoint(4, kT0 + 500, 150);  // after it: not looked at either
    EXPECT_EQ(m.YAxisRange(1, window).min, -30);
    EXPECT_EQ(m.YAxisRange(1, window).max, 100);
    EXPECT_EQ(m.YAxisRange(0, window).max, 26);
    EXPECT_EQ(m.YAxisRange(0, window).min, 0);
    EXPECT_EQ(m.YAxisRange(2, window).min, -5);
    EXPECT_EQ(m.YAxisRange(2, window).max, 300);
    // A point exactly on the window's end is inside it.
    m.AddPoint(6, kT0 + 180, 40);
    EXPECT_EQ(m.YAxisRange(0, window).max, 40);
}

TEST(ChartModel, VisiblePointsAreReducedPerColumn) {
    ChartModel m;
    // 10 points per second over 200 s: 2000 points, 1800 inside the window.
    for (int i = 0; i < 2000; ++i) m.AddPoint(3, kT0 + i * 0.1, 200 + (i % 37) - (i == 1234 ? 150 : 0));
    const ChartRange window{kT0 + 20, kT0 + 200};
    std::vector<ChartPoint> pts;
    m.VisiblePoints(3, window, 100, pts);
    EXPECT_LE(pts.size(), 2u * 100 + 4);  // plus the window's first and last, and one outside each end
    EXPECT_GE(pts.size(), 100u);
    EXPECT_TRUE(std::is_sorted(pts.begin(), pts.end(), [](auto& a, auto& b) { return a.time < b.time; }));
    // The lowest and the highest value inside the window survive the reduction.
    const auto [lo, hi] =
        std::minmax_element(pts.begin(), pts.end(), [](auto& a, auto& b) { return a.value < b.value; });
    EXPECT_EQ(lo->value, 50 + 1234 % 37);
    EXPECT_EQ(hi->value, 236);
    // The point just before the window comes along so the line starts at the edge.
    EXPECT_LT(pts.front().time, window.min);

    // Few points: every one of them.
    m.VisiblePoints(3, window, 1000, pts);
    EXPECT_EQ(pts.size(), 1801u);  // 1800 inside plus the one before
    m.VisiblePoints(6, window, 100, pts);
    EXPECT_TRUE(pts.empty());
    m.VisiblePoints(3, ChartRange{kT0 + 500, kT0 + 680}, 100, pts);
    EXPECT_TRUE(pts.empty());  // all history is older than the window
}

bool SamePoint(const ChartPoint& a, const ChartPoint& b) {
    return a.time == b.time && a.value == b.value;
}

bool Holds(const std::vector<ChartPoint>& pts, const ChartPoint& p) {
    return std::any_of(pts.begin(), pts.end(), [&](const ChartPoint& q) { return SamePoint(p, q); });
}

// The edges of the drawn window, with few points (all drawn) and with many (reduced per
// pixel column): the newest point, the point just before the window (also when only the
// first point lies before it), and the extremes of the first and the last column.
TEST(ChartModel, VisiblePointsKeepTheEdgesOfTheWindow) {
    for (const int points : {10, 4000}) {
        SCOPED_TRACE(points);
        ChartModel m;
        const double step = 200.0 / points;
        for (int i = 0; i < points; ++i) m.AddPoint(0, kT0 + i * step, 220 + (i % 7));
        const ChartSeries& s = m.Series(0);
        const int columns = 40;
        std::vector<ChartPoint> pts;

        // The latest window ends exactly at the newest point, which is drawn last.
        m.VisiblePoints(0, m.LatestWindow(0), columns, pts);
        ASSERT_FALSE(pts.empty());
        EXPECT_TRUE(SamePoint(pts.back(), s.Back()));

        // A window that starts at the second point (or just before it) brings the first.
        for (const double start : {s.At(1).time, s.At(1).time - step / 2}) {
            const ChartRange window{start, start + 180};
            m.VisiblePoints(0, window, columns, pts);
            ASSERT_FALSE(pts.empty());
            EXPECT_TRUE(SamePoint(pts.front(), s.At(0))) << "window from " << start - kT0;
            EXPECT_TRUE(SamePoint(pts[1], s.At(1)));
            EXPECT_TRUE(std::is_sorted(pts.begin(), pts.end(), [](auto& a, auto& b) { return a.time < b.time; }));
        }
        // A window that starts at the first point has nothing before it to bring.
        m.VisiblePoints(0, ChartRange{kT0, kT0 + 180}, columns, pts);
        EXPECT_TRUE(SamePoint(pts.front(), s.At(0)));
    }

    // Many points: the lowest and highest of the last and the first pixel column survive,
    // and so does the newest point when it is neither.
    ChartModel m;
    for (int i = 0; i <= 2000; ++i) {
        double v = 100 + (i % 5);
        if (i == 1995) v = 300;  // in the last column, not the newest
        if (i == 1996) v = 10;
        if (i == 3) v = 290;     // in the first column of the window below
        if (i == 4) v = 20;
        m.AddPoint(2, kT0 + i * 0.1, v);
    }
    std::vector<ChartPoint> pts;
    const ChartRange window = m.LatestWindow(0);  // 20 s .. 200 s
    m.VisiblePoints(2, window, 30, pts);
    EXPECT_LE(pts.size(), 2u * 30 + 4);
    EXPECT_TRUE(Holds(pts, {kT0 + 199.5, 300}));
    EXPECT_TRUE(Holds(pts, {kT0 + 199.6, 10}));
    EXPECT_TRUE(SamePoint(pts.back(), m.Series(2).Back()));
    m.VisiblePoints(2, ChartRange{kT0 + 0.1, kT0 + 180.1}, 30, pts);
    EXPECT_TRUE(SamePoint(pts.front(), m.Series(2).At(0)));
    EXPECT_TRUE(Holds(pts, {kT0 + 0.3, 290}));
    EXPECT_TRUE(Holds(pts, {kT0 + 0.4, 20}));
    EXPECT_TRUE(std::is_sorted(pts.begin(), pts.end(), [](auto& a, auto& b) { return a.time < b.time; }));
}

TEST(ChartModel, CsvListsEveryPointInTimeOrder) {
    ChartModel m;
    m.AddPoint(0, 1.5, 220);
    m.AddPoint(7, 1.5, 3);
    m.AddPoint(6, 2.0, 4);
    m.AddPoint(5, 0.25, 13.7);
    m.AddPoint(4, 3.0, -30);
    std::ostringstream csv;
    m.WriteCsv(csv);
    EXPECT_EQ(csv.str(),
              "time,channel,value\n"
              "1970-01-01 00:00:00.250,VCC_VOLTAGE,13.6999998\n"
              "1970-01-01 00:00:01.500,Phase A,220\n"
              "1970-01-01 00:00:01.500,WORK_MODE,3\n"
              "1970-01-01 00:00:02.000,START_MODE,4\n"
              "1970-01-01 00:00:03.000,NTC_VALUE,-30\n");
    std::ostringstream local;
    m.WriteCsv(local, [](double t) { return std::to_string(static_cast<int>(t * 10)); });
    EXPECT_NE(local.str().find("\n15,Phase A,220\n"), std::string::npos);
}

TEST(ChartModel, UtcTimeText) {
    EXPECT_EQ(FormatUtcTime(0), "1970-01-01 00:00:00.000");
    EXPECT_EQ(FormatUtcTime(951782400.5), "2000-02-29 00:00:00.500");
    EXPECT_EQ(FormatUtcTime(1700000000.999), "2023-11-14 22:13:20.999");
    EXPECT_EQ(FormatUtcTime(-1), "1969-12-31 23:59:59.000");
}

}  // namespace
}  // namespace lum
