#include "widgets/DialGauge.h"

#include <QPainter>
#include <QtMath>

namespace lum {

DialGauge::DialGauge(QWidget* parent) : GaugeBase(parent) {}

void DialGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height());
    const QPointF c(width() / 2.0, height() / 2.0);
    const double r = side / 2.0 - 2;
    p.setPen(QPen(QColor(80, 80, 80), 2));
    p.setBrush(QColor(245, 245, 245));
    p.drawEllipse(c, r, r);

    // Sweep from 225 degrees (lower left) clockwise to -45 degrees (lower right).
    auto angleOf = [this](double v) { return 225.0 - 270.0 * fraction(v); };
    const double bandR = r - 4 - tickMajorLength_ / 2.0;
    for (int i = 0; i < sectionCount_; ++i) {
        auto [lo, hi] = sectionRange(i);
        const double a0 = angleOf(lo), a1 = angleOf(hi);
        p.setPen(QPen(sectionColors_[i], std::max(2, tickMajorLength_ / 2), Qt::SolidLine, Qt::FlatCap));
        const QRectF arc(c.x() - bandR, c.y() - bandR, 2 * bandR, 2 * bandR);
        p.drawArc(arc, int(a0 * 16), int((a1 - a0) * 16));
    }
    p.setPen(QPen(Qt::black, 1));
    const int majors = tickMajorCount_;
    for (int i = 0; i < majors; ++i) {
        const double v = min_ + (max_ - min_) * i / (majors - 1);
        const double a = qDegreesToRadians(angleOf(v));
        const QPointF dir(std::cos(a), -std::sin(a));
        p.drawLine(c + dir * (r - 3), c + dir * (r - 3 - tickMajorLength_));
        const QPointF tp = c + dir * (r - 10 - tickMajorLength_ - 6);
        p.drawText(QRectF(tp.x() - 20, tp.y() - 8, 40, 16), Qt::AlignCenter, QString::number(v, 'f', 0));
        if (i + 1 < majors) {
            for (int k = 1; k <= tickMinorCount_; ++k) {
                const double vm = v + (max_ - min_) / (majors - 1) * k / (tickMinorCount_ + 1);
                const double am = qDegreesToRadians(angleOf(vm));
                const QPointF dm(std::cos(am), -std::sin(am));
                p.drawLine(c + dm * (r - 3), c + dm * (r - 3 - tickMinorLength_));
            }
        }
    }
    const double a = qDegreesToRadians(angleOf(drawnPosition()));
    const QPointF tip = c + QPointF(std::cos(a), -std::sin(a)) * (r - 6);
    p.setPen(QPen(pointerColor_, std::max(2, pointerSize_ / 2), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 60, 60));
    p.drawEllipse(c, hubSize_ / 2.0, hubSize_ / 2.0);
}

}  // namespace lum
