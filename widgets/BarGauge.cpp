#include "widgets/BarGauge.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace lum {

BarGauge::BarGauge(Qt::Orientation orientation, QWidget* parent)
    : GaugeBase(parent), orientation_(orientation) {
    setMinimumSize(20, 20);
}

void BarGauge::setOrientation(Qt::Orientation o) {
    orientation_ = o;
    update();
}

void BarGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool vertical = orientation_ == Qt::Vertical;

    // Panel.
    const QRectF panel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient shade(panel.topLeft(), vertical ? panel.topRight() : panel.bottomLeft());
    shade.setColorAt(0, QColor(246, 247, 249));
    shade.setColorAt(1, QColor(216, 220, 226));
    p.setPen(QPen(QColor(120, 126, 136), 1));
    p.setBrush(shade);
    p.drawRoundedRect(panel, 4, 4);

    QFont f = font();
    const int across = vertical ? width() : height();
    f.setPixelSize(std::clamp(across / 6, 8, 11));
    p.setFont(f);
    const int majors = std::max(2, tickMajorCount_);
    const double step = (max_ - min_) / (majors - 1);
    const bool whole = std::abs(step - std::round(step)) < 1e-9;
    auto labelOf = [&](double v) {
        QString text = QString::number(v, 'f', whole ? 0 : 1);
        if (text.endsWith(QStringLiteral(".0"))) text.chop(2);
        return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
    };
    // Room the labels need across the bar.
    const QFontMetrics fm(f);
    int labelRoom = fm.height();
    if (vertical) {
        labelRoom = 0;
        for (int i = 0; i < majors; ++i)
            labelRoom = std::max(labelRoom, fm.horizontalAdvance(labelOf(min_ + step * i)));
    }

    // The scale runs along `length`; ends inset so the end labels fit.
    const double inset = vertical ? f.pixelSize() * 0.8 + 3 : f.pixelSize() * 1.6 + 2;
    const double start = vertical ? height() - inset : inset;
    const double length = (vertical ? height() : width()) - 2 * inset;
    auto at = [&](double v) {
        return vertical ? start - fraction(v) * length : start + fraction(v) * length;
    };

    // Across the bar: pointer lane, colour band, ticks, labels. Ticks give way to the labels
    // when the bar is narrow.
    const double pointerLane = std::clamp(pointerSize_ * 0.8, 6.0, across * 0.25);
    const double bandStart = 3 + pointerLane;
    const double bandWidth = std::max(4.0, across * 0.13);
    const double tickStart = bandStart + bandWidth;
    const double tickRoom = across - tickStart - labelRoom - 4;
    const double majorLen = std::clamp(static_cast<double>(tickMajorLength_), 3.0, std::max(3.0, tickRoom));
    const double minorLen =
        std::clamp(static_cast<double>(tickMinorLength_), 2.0, std::max(2.0, majorLen * 0.6));
    auto spanRect = [&](double a, double b, double from, double thickness) {
        return vertical ? QRectF(from, std::min(a, b), thickness, std::abs(b - a))
                        : QRectF(std::min(a, b), from, std::abs(b - a), thickness);
    };
    auto line = [&](double along, double from, double to) {
        if (vertical)
            p.drawLine(QPointF(from, along), QPointF(to, along));
        else
            p.drawLine(QPointF(along, from), QPointF(along, to));
    };

    p.setPen(Qt::NoPen);
    for (int i = 0; i < sectionCount_; ++i) {
        auto [lo, hi] = sectionRange(i);
        p.setBrush(sectionColors_[i]);
        p.drawRect(spanRect(at(lo), at(hi), bandStart, bandWidth));
    }
    p.setPen(QPen(QColor(40, 40, 46), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(spanRect(at(min_), at(max_), bandStart, bandWidth));

    for (int i = 0; i < majors; ++i) {
        const double v = min_ + step * i;
        const double t = at(v);
        p.setPen(QPen(QColor(30, 30, 34), 1.2));
        line(t, tickStart, tickStart + majorLen);
        const QString label = labelOf(v);
        const double lp = tickStart + majorLen + 2;
        if (vertical)
            p.drawText(QRectF(lp, t - f.pixelSize(), width() - lp, 2 * f.pixelSize()),
                       Qt::AlignLeft | Qt::AlignVCenter, label);
        else
            p.drawText(QRectF(t - 3 * f.pixelSize(), lp, 6 * f.pixelSize(), height() - lp),
                       Qt::AlignHCenter | Qt::AlignTop, label);
        if (i + 1 == majors) break;
        p.setPen(QPen(QColor(70, 70, 76), 1));
        for (int k = 1; k <= tickMinorCount_; ++k)
            line(at(v + step * k / (tickMinorCount_ + 1)), tickStart, tickStart + minorLen);
    }

    // Pointer: a triangle in its lane pointing at the scale, and a line across the band.
    const double pos = at(drawnPosition());
    const double s = pointerLane;
    QPolygonF tri = vertical ? QPolygonF({QPointF(bandStart, pos), QPointF(bandStart - s, pos - s / 2),
                                          QPointF(bandStart - s, pos + s / 2)})
                             : QPolygonF({QPointF(pos, bandStart), QPointF(pos - s / 2, bandStart - s),
                                          QPointF(pos + s / 2, bandStart - s)});
    p.setPen(QPen(pointerColor_.darker(140), 1));
    p.setBrush(pointerColor_);
    p.drawPolygon(tri);
    p.setPen(QPen(pointerColor_, 2));
    line(pos, bandStart, bandStart + bandWidth);
}

}  // namespace lum
