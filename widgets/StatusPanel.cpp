#include "widgets/StatusPanel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace lum {

namespace {
// Kept pieces at most; a panel showing ever new captions starts again from none.
constexpr int kMaxPieces = 64;
}  // namespace

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void StatusPanel::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    pieces_.clear();  // the pieces are as high as the room inside the frame
}

void StatusPanel::changeEvent(QEvent* e) {
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange)
        pieces_.clear();
}

const StatusPanel::Piece& StatusPanel::piece(const QString& text, const QColor& background) {
    if (auto it = pieces_.constFind(text); it != pieces_.constEnd()) return *it;
    if (pieces_.size() >= kMaxPieces) pieces_.clear();
    const QFontMetrics fm(font());
    const int advance = fm.horizontalAdvance(text);
    const int h = contentsRect().height();
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(QSize(std::max(1, advance), std::max(1, h)) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(background);
    QPainter p(&pixmap);
    p.setFont(font());
    p.setPen(palette().color(foregroundRole()));
    p.drawText(QRect(0, 0, advance, h), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    p.end();
    ++piecesDrawn_;
    return *pieces_.insert(text, Piece{pixmap, advance});
}

void StatusPanel::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    const QRect room = contentsRect();
    if (!room.contains(e->rect())) drawFrame(&p);  // a new text repaints only inside the frame
    const QColor background = palette().color(backgroundRole());
    p.fillRect(room, background);
    const QString shown = text();
    if (shown.isEmpty()) return;
    // As a framed label indents its text: half the width of an "x".
    int x = room.left() + (frameWidth() > 0 ? QFontMetrics(font()).horizontalAdvance(QLatin1Char('x')) / 2 : 0);
    p.setClipRect(room);
    for (qsizetype i = 0; i < shown.size() && x <= room.right();) {
        qsizetype end = i + 1;
        if (!shown[i].isDigit())
            while (end < shown.size() && !shown[end].isDigit()) ++end;
        const Piece& pc = piece(shown.mid(i, end - i), background);
        p.drawPixmap(x, room.top(), pc.pixmap);
        x += pc.advance;
        i = end;
    }
}

}  // namespace lum
