#pragma once
// Terminal text area: a read-only list of lines with a vertical and a horizontal scroll bar,
// made for a feed that grows by thousands of lines. Lines are kept as one UTF-8 text with
// the start of each line beside it, and only the lines in view are laid out, when painted,
// so appending costs the same at the millionth line as at the first and the memory is the
// text itself. Appending a batch repaints once; the view follows the newest line only
// while it shows the last line, so the user can read back undisturbed.
// Control pictures (U+2400..U+2421, as the terminal shows control characters) are drawn
// as their code in a small box, whatever the font holds. Whole lines can be selected with the mouse (or
// Ctrl+A) and copied (Ctrl+C, context menu). Main (GUI) thread only.
#include <QAbstractScrollArea>
#include <QFont>
#include <QPixmap>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class QPainter;

namespace lum {

class TerminalMemo : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit TerminalMemo(QWidget* parent = nullptr);

    // Appends the lines of `utf8` (separated by '\n'; an empty text is one empty line).
    void appendLines(std::string_view utf8);
    void appendPlainText(const QString& text) { appendLines(text.toStdString()); }
    // Removes every line.
    void clear();

    int lineCount() const { return static_cast<int>(starts_.size()); }
    QString line(int index) const;
    QString toPlainText() const;
    // True when the last line is in view (or there is nothing to scroll).
    bool atBottom() const;

    // Whole-line selection: the lines from..to (either order), or none.
    void selectLines(int from, int to);
    void selectAll();
    QString selectedText() const;
    // Puts the selected lines on the clipboard.
    void copy();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    std::string_view lineView(int index) const;
    int rowHeight() const;
    int rowsInView() const;
    int rowAt(int y) const;
    void updateScrollBars();
    void drawLine(QPainter& p, int x, int y, const QString& text, bool selected) const;
    // The box of a control character's code, drawn once per font and colour.
    const QPixmap& ControlBox(int code, bool selected) const;

    std::string text_;                 // every line followed by '\n'
    std::vector<std::size_t> starts_;  // where each line begins in text_
    int widestChars_ = 0;              // the longest line, in characters
    int selFrom_ = -1;
    int selTo_ = -1;
    QFont smallFont_;                        // the codes of control characters
    bool fixedPitch_ = false;                // every ASCII character one cell wide
    mutable std::array<QPixmap, 33> boxes_;  // codes 0x00..0x1F and 0x7F
    mutable std::array<QPixmap, 33> selectedBoxes_;
};

}  // namespace lum
