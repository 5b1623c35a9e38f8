#include "widgets/Lamp.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "widgets/RepaintPace.h"

namespace lum {

Lamp::Lamp(const QString& caption, QWidget* parent) : QWidget(parent), caption_(caption) {
    setMinimumHeight(12);
}

void Lamp::setActive(bool lit) {
    if (lit == active_) return;
    active_ = lit;
    RepaintPace::Shared().update(this);
}

void Lamp::setCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void Lamp::setActiveColor(const QColor& c) {
    activeColor_ = c;
    update();
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = std::min(height() - 2, 16);
    const QRectF light(1, (height() - d) / 2.0, d, d);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(active_ ? activeColor_ : QColor(60, 70, 60));
    p.drawEllipse(light);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRectF(d + 6, 0, width() - d - 6, height()), Qt::AlignLeft | Qt::AlignVCenter, caption_);
}

SwitchLamp::SwitchLamp(const QString& caption, QWidget* parent) : Lamp(caption, parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void SwitchLamp::setActive(bool lit) {
    if (lit == active()) return;
    Lamp::setActive(lit);
    if (onChange) onChange();
}

void SwitchLamp::click() {
    setActive(!active());
    emit clicked();
}

void SwitchLamp::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) click();
}

void SwitchLamp::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Space) {
        click();
        return;
    }
    Lamp::keyPressEvent(e);
}

}  // namespace lum
