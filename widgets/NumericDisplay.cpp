#include "widgets/NumericDisplay.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "widgets/RepaintPace.h"

namespace lum {

NumericDisplay::NumericDisplay(QWidget* parent) : QWidget(parent) {
    setMinimumSize(40, 18);
    setAttribute(Qt::WA_OpaquePaintEvent);  // paints every pixel: a new value repaints nothing behind it
    shown_ = displayText();
}

void NumericDisplay::setValue(double v) {
    if (v == value_) return;
    value_ = v;
    showText();
}
void NumericDisplay::setPrecision(int decimals) { precision_ = decimals; showText(); }
void NumericDisplay::setUnitsText(const QString& units) { units_ = units; showText(); }
void NumericDisplay::setErrorActive(bool on) {
    if (on == error_) return;
    error_ = on;
    showText();
}

void NumericDisplay::showText() {
    QString text = displayText();
    if (text == shown_) return;
    shown_ = std::move(text);
    RepaintPace::Shared().update(this);
}

QString NumericDisplay::displayText() const {
    if (error_) return QStringLiteral("---");
    return QString::number(value_, 'f', precision_) + units_;
}

const NumericDisplay::Glyph& NumericDisplay::glyph(QChar c, const QFont& f, const QColor& colour) {
    auto it = glyphs_.find(c);
    if (it != glyphs_.end()) return *it;
    const int advance = std::max(1, QFontMetrics(f).horizontalAdvance(c));
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(QSize(advance, height()) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::black);
    QPainter p(&pixmap);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(QRect(0, 0, advance, height()), Qt::AlignLeft | Qt::AlignVCenter, QString(c));
    p.end();
    return *glyphs_.insert(c, Glyph{pixmap, advance});
}

void NumericDisplay::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange) glyphs_.clear();
}

void NumericDisplay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    QFont f = font();
    f.setBold(error_);
    f.setPixelSize(std::max(10, height() - 6));
    const QColor colour = error_ ? QColor(255, 0, 0) : QColor(0, 255, 255);
    const GlyphsFor now{error_, height(), devicePixelRatioF()};
    if (now != glyphsFor_) {
        glyphs_.clear();
        glyphsFor_ = now;
    }
    const QString& text = shown_;
    int total = 0;
    for (QChar c : text) total += glyph(c, f, colour).advance;
    const QRect room = rect().adjusted(2, 0, -2, 0);
    if (total > room.width() || text.size() > 64) {  // does not fit: as the text engine clips it
        p.setFont(f);
        p.setPen(colour);
        p.drawText(room, Qt::AlignCenter, text);
        return;
    }
    int x = room.left() + (room.width() - total) / 2;
    for (QChar c : text) {
        const Glyph& g = glyph(c, f, colour);
        p.drawPixmap(x, 0, g.pixmap);
        x += g.advance;
    }
}

}  // namespace lum
