#include "widgets/TerminalMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace lum {
namespace {

constexpr int kMargin = 3;

// Characters of a UTF-8 text (bytes that do not continue a character).
int CharCount(std::string_view utf8) {
    int n = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace

TerminalMemo::TerminalMemo(QWidget* parent) : QAbstractScrollArea(parent) {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(11);
    setFont(mono);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    updateScrollBars();
}

void TerminalMemo::appendLines(std::string_view utf8) {
    const bool follow = atBottom();
    std::size_t pos = 0;
    for (;;) {
        const std::size_t end = std::min(utf8.find('\n', pos), utf8.size());
        const std::string_view piece = utf8.substr(pos, end - pos);
        starts_.push_back(text_.size());
        text_.append(piece);
        text_ += '\n';
        widestChars_ = std::max(widestChars_, CharCount(piece));
        if (end == utf8.size()) break;
        pos = end + 1;
    }
    updateScrollBars();
    if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

void TerminalMemo::clear() {
    std::string().swap(text_);
    std::vector<std::size_t>().swap(starts_);
    widestChars_ = 0;
    selFrom_ = selTo_ = -1;
    updateScrollBars();
    viewport()->update();
}

std::string_view TerminalMemo::lineView(int index) const {
    const std::size_t begin = starts_[static_cast<std::size_t>(index)];
    const std::size_t next =
        static_cast<std::size_t>(index) + 1 < starts_.size() ? starts_[static_cast<std::size_t>(index) + 1] : text_.size();
    return std::string_view(text_).substr(begin, next - 1 - begin);
}

QString TerminalMemo::line(int index) const {
    if (index < 0 || index >= lineCount()) return {};
    const std::string_view v = lineView(index);
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

QString TerminalMemo::toPlainText() const {
    if (text_.empty()) return {};
    return QString::fromUtf8(text_.data(), static_cast<qsizetype>(text_.size() - 1));
}

bool TerminalMemo::atBottom() const { return verticalScrollBar()->value() >= verticalScrollBar()->maximum(); }

int TerminalMemo::rowHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

int TerminalMemo::rowsInView() const { return std::max(1, viewport()->height() / rowHeight()); }

int TerminalMemo::rowAt(int y) const {
    const int row = verticalScrollBar()->value() + std::max(0, y) / rowHeight();
    return std::clamp(row, 0, std::max(0, lineCount() - 1));
}

void TerminalMemo::updateScrollBars() {
    const int rows = rowsInView();
    verticalScrollBar()->setPageStep(rows);
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setRange(0, std::max(0, lineCount() - rows));
    const int width = 2 * kMargin + widestChars_ * fontMetrics().averageCharWidth();
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().averageCharWidth() * 4);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
}

void TerminalMemo::resizeEvent(QResizeEvent* e) {
    const bool follow = atBottom();
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
    if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TerminalMemo::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const int h = rowHeight();
    const int ascent = fontMetrics().ascent();
    const int first = verticalScrollBar()->value();
    const int last = std::min(lineCount() - 1, first + viewport()->height() / h + 1);
    const int x = kMargin - horizontalScrollBar()->value();
    const int selLow = std::min(selFrom_, selTo_);
    const int selHigh = std::max(selFrom_, selTo_);
    for (int i = first; i <= last; ++i) {
        const int y = (i - first) * h;
        const bool selected = selLow >= 0 && i >= selLow && i <= selHigh;
        if (selected) {
            p.fillRect(QRect(0, y, viewport()->width(), h), palette().brush(QPalette::Highlight));
            p.setPen(palette().color(QPalette::HighlightedText));
        } else {
            p.setPen(palette().color(QPalette::Text));
        }
        p.drawText(QPoint(x, y + ascent), line(i));
    }
}

void TerminalMemo::selectLines(int from, int to) {
    if (lineCount() == 0) {
        selFrom_ = selTo_ = -1;
    } else {
        selFrom_ = std::clamp(from, 0, lineCount() - 1);
        selTo_ = std::clamp(to, 0, lineCount() - 1);
    }
    viewport()->update();
}

void TerminalMemo::selectAll() { selectLines(0, lineCount() - 1); }

QString TerminalMemo::selectedText() const {
    if (selFrom_ < 0) return {};
    const int low = std::min(selFrom_, selTo_);
    const int high = std::max(selFrom_, selTo_);
    const std::size_t begin = starts_[static_cast<std::size_t>(low)];
    const std::string_view last = lineView(high);
    const std::size_t end = static_cast<std::size_t>(last.data() - text_.data()) + last.size();
    return QString::fromUtf8(text_.data() + begin, static_cast<qsizetype>(end - begin));
}

void TerminalMemo::copy() {
    if (selFrom_ >= 0) QApplication::clipboard()->setText(selectedText());
}

void TerminalMemo::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && lineCount() > 0) {
        const int row = rowAt(e->position().toPoint().y());
        if (e->modifiers() & Qt::ShiftModifier && selFrom_ >= 0) selectLines(selFrom_, row);
        else selectLines(row, row);
        e->accept();
        return;
    }
    QAbstractScrollArea::mousePressEvent(e);
}

void TerminalMemo::mouseMoveEvent(QMouseEvent* e) {
    if ((e->buttons() & Qt::LeftButton) && selFrom_ >= 0) {
        selectLines(selFrom_, rowAt(e->position().toPoint().y()));
        e->accept();
        return;
    }
    QAbstractScrollArea::mouseMoveEvent(e);
}

void TerminalMemo::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (e->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    switch (e->key()) {
        case Qt::Key_Home: bar->setValue(0); return;
        case Qt::Key_End: bar->setValue(bar->maximum()); return;
        case Qt::Key_PageUp: bar->triggerAction(QAbstractSlider::SliderPageStepSub); return;
        case Qt::Key_PageDown: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); return;
        default: QAbstractScrollArea::keyPressEvent(e);
    }
}

void TerminalMemo::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(QStringLiteral("Копировать"), this, &TerminalMemo::copy);
    copyAction->setEnabled(selFrom_ >= 0);
    menu.addAction(QStringLiteral("Выделить всё"), this, &TerminalMemo::selectAll);
    menu.exec(e->globalPos());
}

}  // namespace lum
