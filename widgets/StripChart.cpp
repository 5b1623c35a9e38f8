#include "widgets/StripChart.h"

#include <QPainter>

namespace lum {

StripChart::StripChart(QWidget* parent) : QWidget(parent) {}

void StripChart::setTitle(const QString& title) {
    title_ = title;
    update();
}

void StripChart::setGridYAxisName(const QString& name) {
    gridYAxisName_ = name;
    update();
}

void StripChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.setPen(Qt::white);
    p.drawText(rect().adjusted(0, 4, 0, 0), Qt::AlignHCenter | Qt::AlignTop, title_);
}

}  // namespace lum
