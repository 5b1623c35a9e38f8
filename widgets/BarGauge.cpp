#include "widgets/BarGauge.h"

#include <QPainter>

namespace lum {

BarGauge::BarGauge(Qt::Orientation orientation, QWidget* parent) : GaugeBase(parent), orientation_(orientation) {}

void BarGauge::setOrientation(Qt::Orientation o) {
    orientation_ = o;
    update();
}

void BarGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool vertical = orientation_ == Qt::Vertical;
    const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
    const double length = vertical ? area.height() : area.width();
    auto at = [&](double v) {
        const double f = fraction(v);
        return vertical ? area.bottom() - f * length : area.left() + f * length;
    };
    const double thick = (vertical ? area.width() : area.height()) * 0.35;
    for (int i = 0; i < sectionCount_; ++i) {
        auto [lo, hi] = sectionRange(i);
        const double a = at(lo), b = at(hi);
        QRectF band = vertical ? QRectF(area.left(), std::min(a, b), thick, std::abs(b - a))
                               : QRectF(std::min(a, b), area.top(), std::abs(b - a), thick);
        p.fillRect(band, sectionColors_[i]);
    }
    p.setPen(QPen(Qt::black, 1));
    for (int i = 0; i < tickMajorCount_; ++i) {
        const double v = min_ + (max_ - min_) * i / (tickMajorCount_ - 1);
        const double t = at(v);
        if (vertical) {
            p.drawLine(QPointF(area.left() + thick, t), QPointF(area.left() + thick + tickMajorLength_, t));
            p.drawText(QRectF(area.left() + thick + tickMajorLength_ + 2, t - 8, 40, 16),
                       Qt::AlignLeft | Qt::AlignVCenter, QString::number(v, 'f', 0));
        } else {
            p.drawLine(QPointF(t, area.top() + thick), QPointF(t, area.top() + thick + tickMajorLength_));
            p.drawText(QRectF(t - 20, area.top() + thick + tickMajorLength_ + 1, 40, 16), Qt::AlignCenter,
                       QString::number(v, 'f', 0));
        }
    }
    const double pos = at(drawnPosition());
    p.setPen(QPen(pointerColor_, std::max(2, pointerSize_ / 3)));
    p.setBrush(pointerColor_);
    const double s = std::max(4, pointerSize_);
    if (vertical) {
        QPolygonF tri({QPointF(area.left() + thick, pos), QPointF(area.left() + thick + s, pos - s / 2),
                       QPointF(area.left() + thick + s, pos + s / 2)});
        p.drawLine(QPointF(area.left(), pos), QPointF(area.left() + thick, pos));
        p.drawPolygon(tri);
    } else {
        QPolygonF tri({QPointF(pos, area.top() + thick), QPointF(pos - s / 2, area.top() + thick + s),
                       QPointF(pos + s / 2, area.top() + thick + s)});
        p.drawLine(QPointF(pos, area.top()), QPointF(pos, area.top() + thick));
        p.drawPolygon(tri);
    }
}

}  // namespace lum
