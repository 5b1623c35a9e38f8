#pragma once
// Numeric display: a value with a number of decimals and a units text, aqua on black;
// in the error state it shows "---" in red bold. Each character is drawn once into a small
// pixmap and the shown text is put together from them, so a new value costs no text layout.
// Main (GUI) thread only.
#include <QHash>
#include <QPixmap>
#include <QWidget>

namespace lum {

class NumericDisplay : public QWidget {
    Q_OBJECT
public:
    explicit NumericDisplay(QWidget* parent = nullptr);

    // A value that shows as the one shown (the same digits) repaints nothing.
    void setValue(double v);
    double value() const { return value_; }
    void setPrecision(int decimals);
    int precision() const { return precision_; }
    void setUnitsText(const QString& units);
    QString unitsText() const { return units_; }
    void setErrorActive(bool on);
    bool errorActive() const { return error_; }
    // What the display shows now ("---" in the error state).
    QString displayText() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void changeEvent(QEvent* e) override;

private:
    struct Glyph {
        QPixmap pixmap;
        int advance;
    };
    const Glyph& glyph(QChar c, const QFont& f, const QColor& colour);
    // Takes the text to show; repaints when it differs from the one shown.
    void showText();
    QString shown_;  // the text drawn
    QHash<QChar, Glyph> glyphs_;
    // What the glyphs were drawn for besides the font (a font change drops them): the state
    // (its colour and weight), the height and the pixel ratio.
    struct GlyphsFor {
        bool error = false;
        int height = -1;
        qreal ratio = 0;
        bool operator==(const GlyphsFor&) const = default;
    };
    GlyphsFor glyphsFor_;
    double value_ = 0;
    int precision_ = 1;  // widget default
    QString units_;
    bool error_ = false;
};

}  // namespace lum
