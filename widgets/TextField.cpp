#include "widgets/TextField.h"

#include <QPainter>

#include "widgets/RepaintPace.h"

namespace lum {

TextField::TextField(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // paints every pixel: a new text repaints nothing behind it
}

void TextField::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    RepaintPace::Shared().update(this);
}

void TextField::setErrorActive(bool on) {
    if (on == error_) return;
    error_ = on;
    RepaintPace::Shared().update(this);
}

void TextField::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (lowered()) {
        p.setPen(QColor(90, 90, 90));
        p.drawLine(0, 0, width() - 1, 0);
        p.drawLine(0, 0, 0, height() - 1);
        p.setPen(QColor(200, 200, 200));
        p.drawLine(0, height() - 1, width() - 1, height() - 1);
        p.drawLine(width() - 1, 0, width() - 1, height() - 1);
    }
    QFont f = font();
    f.setBold(error_);
    p.setFont(f);
    p.setPen(error_ ? QColor(255, 0, 0) : QColor(0, 255, 255));
    // Two-line texts break with line feed + carriage return; show them as one break.
    QString shown = displayText();
    shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    const int flags = Qt::AlignCenter | (wordWrap() ? Qt::TextWordWrap : 0);
    p.drawText(rect().adjusted(3, 2, -3, -2), flags, shown);
}

}  // namespace lum
