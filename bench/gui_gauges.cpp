// What one status record costs the gauges: the time to repaint a 127 pixel dial (the phase
// dials' size in the 799 x 572 window) and a bar gauge after a new position, with the face
// kept in its pixmap (as the window runs) and with the face drawn anew for every repaint
// (as it was drawn before the face was kept). Offscreen, one core.
//
//   bench_gui_gauges [repaints, default 4000]
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "widgets/BarGauge.h"
#include "widgets/DialGauge.h"

namespace {

using Clock = std::chrono::steady_clock;

// Microseconds per repaint: the median and the 95th percentile of `n` repaints, each after a
// new position; `fresh` drops the kept face before each one.
struct Figures {
    double median, p95;
};

Figures Measure(lum::GaugeBase& gauge, QImage& target, int n, bool fresh) {
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        gauge.setPosition(gauge.positionMin() + (i % 97) * (gauge.positionMax() - gauge.positionMin()) / 97.0);
        if (fresh) gauge.invalidateFace();
        const auto t0 = Clock::now();
        QPainter p(&target);
        gauge.render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
        p.end();
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 95 / 100]};
}

void Report(const char* name, lum::GaugeBase& gauge, int n) {
    QImage target(gauge.size(), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    Measure(gauge, target, 50, false);  // warm up (fonts, caches)
    const int facesBefore = gauge.faceRenders();
    const Figures kept = Measure(gauge, target, n, false);
    const int facesKept = gauge.faceRenders() - facesBefore;
    const Figures fresh = Measure(gauge, target, n, true);
    std::printf("%-28s face drawn anew: median %7.1f us, p95 %7.1f us\n", name, fresh.median, fresh.p95);
    std::printf("%-28s face kept:       median %7.1f us, p95 %7.1f us  (faces drawn in %d repaints: %d)\n", "",
                kept.median, kept.p95, n, facesKept);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::max(100, std::atoi(argv[1])) : 4000;

    // A phase dial as the window sets it up and lays it out (W = 799: ticks 12, pointer 8, hub 12).
    lum::DialGauge dial;
    dial.resize(127, 127);
    dial.setPositionMin(140);
    dial.setPositionMax(300);
    dial.setSectionCount(3);
    dial.setSectionEnd1(180);
    dial.setSectionEnd2(260);
    dial.setSectionColor(1, Qt::red);
    dial.setSectionColor(2, Qt::green);
    dial.setTickMajorLength(12);
    dial.setTickMinorLength(6);
    dial.setPointerSize(8);
    dial.setHubSize(12);
    Report("dial 127 x 127", dial, n);

    // The UPS bar (R(0.35 x 799) x R(0.1 x 532)).
    lum::BarGauge bar(Qt::Horizontal);
    bar.resize(280, 53);
    bar.setPositionMin(16);
    bar.setPositionMax(32);
    bar.setTickMajorCount(7);
    bar.setTickMinorCount(5);
    bar.setSectionCount(3);
    bar.setSectionEnd1(19);
    bar.setSectionEnd2(29);
    bar.setTickMajorLength(16);
    bar.setTickMinorLength(8);
    bar.setPointerSize(12);
    Report("bar 280 x 53", bar, n);
    return 0;
}
