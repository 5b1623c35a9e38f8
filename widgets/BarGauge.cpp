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
    if (o == orientation_) return;
    orientation_ = o;
    invalidateFace();
}

namespace {
QString LabelOf(double v, bool whole) {
    QString text = QString::number(v, 'f', whole ? 0 : 1);
    if (text.endsWith(QStringLiteral(".0"))) text.chop(2);
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}
}  // namespace

BarGauge::Frame BarGauge::frame() const {
    Frame fr{};
    fr.vertical = orientation_ == Qt::Vertical;
    const bool vertical = fr.vertical;
    fr.font = font();
    const int across = vertical ? width() : height();
    fr.font.setPixelSize(std::clamp(across / 6, 8, 11));
    fr.majors = std::max(2, tickMajorCount_);
    fr.step = (max_ - min_) / (fr.majors - 1);
    fr.whole = std::abs(fr.step - std::round(fr.step)) < 1e-9;
    // Room the labels need across the bar.
    const QFontMetrics fm(fr.font);
    int labelRoom = fm.height();
    if (vertical) {
        labelRoom = 0;
        for (int i = 0; i < fr.majors; ++i)
            labelRoom = std::max(labelRoom, fm.horizontalAdvance(LabelOf(min_ + fr.step * i, fr.whole)));
    }
    // The scale runs along `length`; ends inset so the end labels fit.
    const int px = fr.font.pixelSize();
    const double inset = vertical ? px * 0.8 + 3 : px * 1.6 + 2;
    fr.start = vertical ? height() - inset : inset;
    fr.length = (vertical ? height() : width()) - 2 * inset;
    // Across the bar: pointer lane, colour band, ticks, labels. Ticks give way to the labels
    // when the bar is narrow.
    fr.pointerLane = std::clamp(pointerSize_ * 0.8, 6.0, across * 0.25);
    fr.bandStart = 3 + fr.pointerLane;
    fr.bandWidth = std::max(4.0, across * 0.13);
    fr.tickStart = fr.bandStart + fr.bandWidth;
    const double tickRoom = across - fr.tickStart - labelRoom - 4;
    fr.majorLen = std::clamp(static_cast<double>(tickMajorLength_), 3.0, std::max(3.0, tickRoom));
    fr.minorLen = std::clamp(static_cast<double>(tickMinorLength_), 2.0, std::max(2.0, fr.majorLen * 0.6));
    return fr;
}

void BarGauge::paintFace(QPainter& p) {
    frame_ = frame();
    const Frame& fr = frame_;
    const bool vertical = fr.vertical;

    // Panel.
    const QRectF panel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient shade(panel.topLeft(), vertical ? panel.topRight() : panel.bottomLeft());
    shade.setColorAt(0, QColor(246, 247, 249));
    shade.setColorAt(1, QColor(216, 220, 226));
    p.setPen(QPen(QColor(120, 126, 136), 1));
    p.setBrush(shade);
    p.drawRoundedRect(panel, 4, 4);

    const QFont& f = fr.font;
    p.setFont(f);
    auto at = [&](double v) { return fr.at(fraction(v)); };
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
        p.drawRect(spanRect(at(lo), at(hi), fr.bandStart, fr.bandWidth));
    }
    p.setPen(QPen(QColor(40, 40, 46), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(spanRect(at(min_), at(max_), fr.bandStart, fr.bandWidth));

    for (int i = 0; i < fr.majors; ++i) {
        const double v = min_ + fr.step * i;
        const double t = at(v);
        p.setPen(QPen(QColor(30, 30, 34), 1.2));
        line(t, fr.tickStart, fr.tickStart + fr.majorLen);
        const QString label = LabelOf(v, fr.whole);
        const double lp = fr.tickStart + fr.majorLen + 2;
        if (vertical)
            p.drawText(QRectF(lp, t - f.pixelSize(), width() - lp, 2 * f.pixelSize()),
                       Qt::AlignLeft | Qt::AlignVCenter, label);
        else
            p.drawText(QRectF(t - 3 * f.pixelSize(), lp, 6 * f.pixelSize(), height() - lp),
                       Qt::AlignHCenter | Qt::AlignTop, label);
        if (i + 1 == fr.majors) break;
        p.setPen(QPen(QColor(70, 70, 76), 1));
        for (int k = 1; k <= tickMinorCount_; ++k)
            line(at(v + fr.step * k / (tickMinorCount_ + 1)), fr.tickStart, fr.tickStart + fr.minorLen);
    }
}

int BarGauge::pointerPose() const {
    return static_cast<int>(std::lround(frame_.at(fraction(drawnPosition())) * 4));
}

QPolygonF BarGauge::pointerTriangle(double pos) const {
    // A triangle in its lane pointing at the scale.
    const Frame& fr = frame_;
    const double s = fr.pointerLane;
    const double bandStart = fr.bandStart;
    return fr.vertical ? QPolygonF({QPointF(bandStart, pos), QPointF(bandStart - s, pos - s / 2),
                                    QPointF(bandStart - s, pos + s / 2)})
                       : QPolygonF({QPointF(pos, bandStart), QPointF(pos - s / 2, bandStart - s),
                                    QPointF(pos + s / 2, bandStart - s)});
}

QRect BarGauge::pointerBounds(int pose) const {
    const Frame& fr = frame_;
    const double pos = pose / 4.0;
    const double end = fr.bandStart + fr.bandWidth;  // the line across the band
    const QRectF line = fr.vertical ? QRectF(QPointF(fr.bandStart, pos), QPointF(end, pos))
                                    : QRectF(QPointF(pos, fr.bandStart), QPointF(pos, end));
    return (pointerTriangle(pos).boundingRect() | line).adjusted(-2, -2, 2, 2).toAlignedRect() & rect();
}

void BarGauge::paintPointer(QPainter& p, int pose) {
    // The face is drawn first, whenever anything it depends on changed.
    const Frame& fr = frame_;
    const double pos = pose / 4.0;
    p.setPen(QPen(pointerColor_.darker(140), 1));
    p.setBrush(pointerColor_);
    p.drawPolygon(pointerTriangle(pos));
    // And a line across the band.
    p.setPen(QPen(pointerColor_, 2));
    if (fr.vertical)
        p.drawLine(QPointF(fr.bandStart, pos), QPointF(fr.bandStart + fr.bandWidth, pos));
    else
        p.drawLine(QPointF(pos, fr.bandStart), QPointF(pos, fr.bandStart + fr.bandWidth));
}

}  // namespace lum
