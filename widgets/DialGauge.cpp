#include "widgets/DialGauge.h"

#include <QPainter>
#include <QRadialGradient>
#include <QtMath>
#include <cmath>

namespace lum {

DialGauge::DialGauge(QWidget* parent) : GaugeBase(parent) {
    setMinimumSize(40, 40);
}

double DialGauge::angleOf(double value) const {
    return 225.0 - 270.0 * fraction(value);
}

DialGauge::Frame DialGauge::frame() const {
    const double side = std::min(width(), height());
    const double outer = side / 2.0 - 1;
    const double bezel = std::max(2.0, side * 0.04);
    const double r = outer - bezel;  // face radius
    return {side, QPointF(width() / 2.0, height() / 2.0), r - std::max(2.0, side * 0.03)};
}

void DialGauge::paintFace(QPainter& p) {
    const Frame fr = frame();
    const double side = fr.side;
    const QPointF c = fr.centre;
    const double outer = side / 2.0 - 1;
    const double bezel = std::max(2.0, side * 0.04);
    const double r = outer - bezel;  // face radius

    // Bezel and face.
    QRadialGradient rim(c, outer);
    rim.setColorAt(0.85, QColor(70, 76, 86));
    rim.setColorAt(1.0, QColor(28, 31, 36));
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(c, outer, outer);
    QRadialGradient face(c - QPointF(r * 0.25, r * 0.3), r * 1.3);
    face.setColorAt(0.0, QColor(252, 252, 250));
    face.setColorAt(1.0, QColor(214, 218, 224));
    p.setBrush(face);
    p.drawEllipse(c, r, r);

    auto dirOf = [this](double v) {
        const double a = qDegreesToRadians(angleOf(v));
        return QPointF(std::cos(a), -std::sin(a));
    };
    const double tickOuter = fr.tickOuter;
    const double majorLen = std::max(2, tickMajorLength_);
    const double minorLen = std::max(1, tickMinorLength_);

    // Colour sections as an arc just inside the ticks.
    const double bandWidth = std::max(3.0, majorLen * 0.6);
    const double bandR = tickOuter - bandWidth / 2.0;
    const QRectF arc(c.x() - bandR, c.y() - bandR, 2 * bandR, 2 * bandR);
    for (int i = 0; i < sectionCount_; ++i) {
        auto [lo, hi] = sectionRange(i);
        const double a0 = angleOf(lo), a1 = angleOf(hi);
        if (a0 == a1) continue;
        p.setPen(QPen(sectionColors_[i], bandWidth, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(arc, qRound(a0 * 16), qRound((a1 - a0) * 16));
    }

    // Ticks and labels.
    QFont f = font();
    f.setPixelSize(std::max(8, static_cast<int>(side * 0.075)));
    p.setFont(f);
    const int majors = std::max(2, tickMajorCount_);
    const double step = (max_ - min_) / (majors - 1);
    const bool whole = std::abs(step - std::round(step)) < 1e-9;
    for (int i = 0; i < majors; ++i) {
        const double v = min_ + step * i;
        const QPointF d = dirOf(v);
        p.setPen(QPen(QColor(30, 30, 34), std::max(1.0, side * 0.012), Qt::SolidLine, Qt::FlatCap));
        p.drawLine(c + d * tickOuter, c + d * (tickOuter - majorLen));
        const double labelR = tickOuter - majorLen - f.pixelSize() * 1.1;
        const QPointF lp = c + d * labelR;
        p.drawText(QRectF(lp.x() - 24, lp.y() - f.pixelSize(), 48, 2 * f.pixelSize()), Qt::AlignCenter,
                   QString::number(v, 'f', whole ? 0 : 1));
        if (i + 1 == majors) break;
        p.setPen(QPen(QColor(60, 60, 66), 1));
        for (int k = 1; k <= tickMinorCount_; ++k) {
            const QPointF dm = dirOf(v + step * k / (tickMinorCount_ + 1));
            p.drawLine(c + dm * tickOuter, c + dm * (tickOuter - minorLen));
        }
    }
}

int DialGauge::pointerPose() const {
    return static_cast<int>(std::lround(angleOf(drawnPosition()) * 16));
}

QPolygonF DialGauge::needle(int pose) const {
    // A tapered needle from behind the hub to the tick ring.
    const Frame fr = frame();
    const QPointF c = fr.centre;
    const double a = qDegreesToRadians(pose / 16.0);
    const QPointF d(std::cos(a), -std::sin(a));
    const QPointF n(-d.y(), d.x());
    const double halfWidth = std::max(1.5, pointerSize_ / 2.0);
    const QPointF tip = c + d * (fr.tickOuter - 1);
    const QPointF tail = c - d * (hubSize_ * 0.9 + 2);
    return QPolygonF({tail + n * halfWidth * 0.8, c + n * halfWidth, tip + n * 0.6, tip - n * 0.6,
                      c - n * halfWidth, tail - n * halfWidth * 0.8});
}

double DialGauge::hubRadius() const { return std::max(3.0, hubSize_ / 2.0); }

QRect DialGauge::pointerBounds(int pose) const {
    const QPointF c = frame().centre;
    const double hub = hubRadius();
    // Two pixels round the outline for its pen and the smoothing.
    const QRectF around = needle(pose).boundingRect() | QRectF(c.x() - hub, c.y() - hub, 2 * hub, 2 * hub);
    return around.adjusted(-2, -2, 2, 2).toAlignedRect() & rect();
}

void DialGauge::paintPointer(QPainter& p, int pose) {
    p.setPen(QPen(pointerColor_.darker(140), 1));
    p.setBrush(pointerColor_);
    p.drawPolygon(needle(pose));

    // The hub, a shaded disc over the needle's root.
    const QPointF c = frame().centre;
    const double hub = hubRadius();
    QRadialGradient hubShade(c - QPointF(hub * 0.3, hub * 0.3), hub * 1.5);
    hubShade.setColorAt(0, QColor(120, 124, 132));
    hubShade.setColorAt(1, QColor(30, 32, 36));
    p.setPen(Qt::NoPen);
    p.setBrush(hubShade);
    p.drawEllipse(c, hub, hub);
}

}  // namespace lum
