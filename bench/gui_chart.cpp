// Time diagrams under a week of history: feeds the strip chart one status record per
// simulated second (eight channels, START_MODE only while the generator is starting) and
// prints, at one hour, one day and one week of history, the time to add one record and
// repaint the chart offscreen, and the memory held per stored point.
//
//   bench_gui_chart [repaints per checkpoint, default 300]
#include <malloc.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "widgets/StripChart.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kStart = 1.7e9;
constexpr long kHour = 3600;
constexpr long kDay = 24 * kHour;
constexpr long kWeek = 7 * kDay;

// A busy controller: every hour an outage with a generator start (state 3 with its steps),
// warm-up, twenty minutes of running, mains back, cooling, then mains again. The cycle is
// one hour long so that every checkpoint shows the same kind of window (the last minutes
// of mains with three noisy phases), and only the length of the history differs.
struct Simulated {
    std::mt19937 rng{42};
    std::normal_distribution<double> noise{0.0, 1.5};

    void Add(lum::StripChart& chart, long second) {
        const long inCycle = second % kHour;
        int state = 0;
        int startStep = 0;
        if (inCycle < 20) {
            state = 1;
        } else if (inCycle < 50) {
            state = 3;
            startStep = static_cast<int>((inCycle - 20) / 5);
        } else if (inCycle < 110) {
            state = 4;
        } else if (inCycle < 1310) {
            state = 5;
        } else if (inCycle < 1330) {
            state = 2;
        } else if (inCycle < 1450) {
            state = 8;
        }
        const bool mains = state == 0 || state == 2 || state == 8;
        const double t = kStart + static_cast<double>(second);
        const double phase = mains ? std::round(225 + noise(rng)) : 0;
        const double gen = (state >= 4 && state <= 8) ? std::round(228 + noise(rng)) : 0;
        chart.addPoint(0, t, phase);
        chart.addPoint(1, t, mains ? std::round(224 + noise(rng)) : 0);
        chart.addPoint(2, t, mains ? std::round(226 + noise(rng)) : 0);
        chart.addPoint(3, t, gen);
        chart.addPoint(4, t, std::round(18 + 6 * std::sin(second * 2 * M_PI / kDay)));
        chart.addPoint(5, t, std::round(132 + noise(rng)) / 10.0);
        if (state == 3) chart.addPoint(6, t, startStep);
        chart.addPoint(7, t, state);
    }
};

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int repaints = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;

    const std::size_t heapBefore = HeapInUse();
    lum::StripChart chart;
    chart.resize(787, 470);  // the diagrams page of the main window
    chart.setGridYAxisName(QStringLiteral("<All>"));
    chart.setTitle(QStringLiteral("Временные диаграммы"));
    QImage frame(chart.size(), QImage::Format_ARGB32_Premultiplied);
    Simulated sim;

    std::printf("strip chart %dx%d, one status record per simulated second, %d repaints per checkpoint\n",
                chart.width(), chart.height(), repaints);
    std::printf("%-8s %12s %14s %14s %14s\n", "history", "points", "median ms", "mean ms", "max ms");

    long second = 0;
    double hourMedian = 0;
    const std::pair<const char*, long> checkpoints[] = {
        {"1 hour", kHour}, {"1 day", kDay}, {"1 week", kWeek}};
    for (const auto& [name, upTo] : checkpoints) {
        const long fillTo = upTo - repaints;
        for (; second < fillTo; ++second) sim.Add(chart, second);
        std::vector<double> ms;
        ms.reserve(static_cast<std::size_t>(repaints));
        for (int i = 0; i < repaints; ++i, ++second) {
            const auto t0 = Clock::now();
            sim.Add(chart, second);
            chart.render(&frame);
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        double mean = 0;
        for (double v : ms) mean += v;
        mean /= static_cast<double>(ms.size());
        if (upTo == kHour) hourMedian = median;
        std::printf("%-8s %12zu %14.3f %14.3f %14.3f\n", name, chart.model().TotalPoints(), median, mean,
                    sorted.back());
        if (upTo == kWeek) {
            std::printf("week / hour (median): %.2f (target at most 1.5; each under 2 ms)\n",
                        median / hourMedian);
        }
    }

    const std::size_t points = chart.model().TotalPoints();
    const double modelBytes = static_cast<double>(chart.model().MemoryBytes()) / static_cast<double>(points);
    const double heapBytes = static_cast<double>(HeapInUse() - heapBefore) / static_cast<double>(points);
    std::printf(
        "stored points: %zu; bytes per point: %.2f held by the chart model, %.2f heap growth of the "
        "whole chart (target at most 24)\n",
        points, modelBytes, heapBytes);
    return 0;
}
