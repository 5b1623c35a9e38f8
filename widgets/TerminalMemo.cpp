#include "widgets/TerminalMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace lum {
namespace {

constexpr int kMargin = 3;

// A control picture (U+2400..U+2421) is drawn as its code in a box two cells wide.
bool IsControlPicture(char16_t c) {
    return c >= 0x2400 && c <= 0x2421;
}
int ControlCode(char16_t c) {
    return c == 0x2421 ? 0x7F : c - 0x2400;
}

// Cells a UTF-8 line takes: one per character, two per control picture.
int CellCount(std::string_view utf8) {
    int n = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if ((b & 0xC0) == 0x80) continue;
        ++n;
        if (b == 0xE2 && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0x90 &&
            static_cast<unsigned char>(utf8[i + 2]) <= 0xA1)
            ++n;
    }
    return n;
}

}  // namespace

TerminalMemo::TerminalMemo(QWidget* parent) : QAbstractScrollArea(parent) {
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setFamilies({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono"),
                      QStringLiteral("Liberation Mono"), QStringLiteral("Courier New"), mono.family()});
    mono.setStyleHint(QFont::Monospace);
    mono.setFixedPitch(true);
    mono.setPixelSize(11);
    setFont(mono);
    smallFont_ = mono;
    smallFont_.setPixelSize(8);
    fixedPitch_ = QFontInfo(font()).fixedPitch();
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
        widestChars_ = std::max(widestChars_, CellCount(piece));
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
    const std::size_t next = static_cast<std::size_t>(index) + 1 < starts_.size()
                                 ? starts_[static_cast<std::size_t>(index) + 1]
                                 : text_.size();
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

bool TerminalMemo::atBottom() const {
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

int TerminalMemo::rowHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int TerminalMemo::rowsInView() const {
    return std::max(1, viewport()->height() / rowHeight());
}

int TerminalMemo::rowAt(int y) const {
    const int row = verticalScrollBar()->value() + std::max(0, y) / rowHeight();
    return std::clamp(row, 0, std::max(0, lineCount() - 1));
}

void TerminalMemo::updateScrollBars() {
    const int rows = rowsInView();
    verticalScrollBar()->setPageStep(rows);
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setRange(0, std::max(0, lineCount() - rows));
    const int width =
        2 * kMargin +
        static_cast<int>(std::ceil(widestChars_ * QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0'))));
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
        drawLine(p, x, y, line(i), selected);
    }
}

void TerminalMemo::drawLine(QPainter& p, int left, int y, const QString& text, bool selected) const {
    // Control pictures are missing from most fixed-pitch fonts: each is drawn as its
    // code ("10" for the start byte, "0D" for the carriage return) in a small box.
    const QFontMetricsF fm(font());
    const qreal baseline = y + fm.ascent();
    const qreal cell = fm.horizontalAdvance(QLatin1Char('0'));
    const qreal box = 2 * fontMetrics().averageCharWidth();
    qreal x = left;
    qsizetype runStart = 0;
    bool runAscii = true;
    auto drawRun = [&](qsizetype end) {
        if (end <= runStart) return;
        const QString run = text.mid(runStart, end - runStart);
        p.drawText(QPointF(x, baseline), run);
        x += runAscii && fixedPitch_ ? cell * static_cast<qreal>(run.size()) : fm.horizontalAdvance(run);
    };
    for (qsizetype k = 0; k < text.size(); ++k) {
        const char16_t c = text[k].unicode();
        if (!IsControlPicture(c)) {
            runAscii = runAscii && c < 0x80;
            continue;
        }
        drawRun(k);
        p.drawPixmap(QPointF(x, y), ControlBox(ControlCode(c), selected));
        x += box;
        runStart = k + 1;
        runAscii = true;
    }
    drawRun(text.size());
}

const QPixmap& TerminalMemo::ControlBox(int code, bool selected) const {
    auto& cache = selected ? selectedBoxes_ : boxes_;
    const std::size_t index = code == 0x7F ? 0x20 : static_cast<std::size_t>(code);
    QPixmap& box = cache[index];
    if (box.isNull()) {
        const QFontMetrics fm = fontMetrics();
        box = QPixmap(2 * fm.averageCharWidth(), fm.height());
        box.fill(Qt::transparent);
        QPainter p(&box);
        p.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect frame(1, 1, box.width() - 2, box.height() - 2);
        p.drawRect(frame.adjusted(0, 0, -1, -1));
        p.setFont(smallFont_);
        p.drawText(frame, Qt::AlignCenter, QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper());
    }
    return box;
}

void TerminalMemo::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange || e->type() == QEvent::PaletteChange) {
        fixedPitch_ = QFontInfo(font()).fixedPitch();
        boxes_ = {};
        selectedBoxes_ = {};
        updateScrollBars();
    }
    QAbstractScrollArea::changeEvent(e);
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

void TerminalMemo::selectAll() {
    selectLines(0, lineCount() - 1);
}

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
        if (e->modifiers() & Qt::ShiftModifier && selFrom_ >= 0)
            selectLines(selFrom_, row);
        else
            selectLines(row, row);
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
        case Qt::Key_Home:
            bar->setValue(0);
            return;
        case Qt::Key_End:
            bar->setValue(bar->maximum());
            return;
        case Qt::Key_PageUp:
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
            return;
        case Qt::Key_PageDown:
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            return;
        default:
            QAbstractScrollArea::keyPressEvent(e);
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
