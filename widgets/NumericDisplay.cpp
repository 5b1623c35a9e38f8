#include "widgets/NumericDisplay.h"

#include <QPainter>

namespace lum {

NumericDisplay::NumericDisplay(QWidget* parent) : QWidget(parent) { setMinimumSize(40, 18); }

void NumericDisplay::setValue(double v) {
    if (v == value_) return;
    value_ = v;
    update();
}
void NumericDisplay::setPrecision(int decimals) { precision_ = decimals; update(); }
void NumericDisplay::setUnitsText(const QString& units) { units_ = units; update(); }
void NumericDisplay::setErrorActive(bool on) {
    if (on == error_) return;
    error_ = on;
    update();
}

QString NumericDisplay::displayText() const {
    if (error_) return QStringLiteral("---");
    return QString::number(value_, 'f', precision_) + units_;
}

void NumericDisplay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    QFont f = font();
    f.setBold(error_);
    f.setPixelSize(std::max(10, height() - 6));
    p.setFont(f);
    p.setPen(error_ ? QColor(255, 0, 0) : QColor(0, 255, 255));
    p.drawText(rect().adjusted(2, 0, -2, 0), Qt::AlignCenter, displayText());
}

}  // namespace lum
