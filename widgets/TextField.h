#pragma once
// Text field: centred aqua text on black; in the error state "---" in red bold.
// Also serves as the text panel (word wrap, lowered border) with setPanelStyle(true).
// Main (GUI) thread only.
#include <QWidget>

namespace lum {

class TextField : public QWidget {
    Q_OBJECT
public:
    explicit TextField(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return text_; }
    void setErrorActive(bool on);
    bool errorActive() const { return error_; }
    QString displayText() const { return error_ ? QStringLiteral("---") : text_; }

protected:
    void paintEvent(QPaintEvent*) override;
    virtual bool wordWrap() const { return false; }
    virtual bool lowered() const { return false; }

private:
    QString text_;
    bool error_ = false;
};

// Text panel: a fixed-size, word-wrapping text field with a lowered border.
class TextPanel : public TextField {
    Q_OBJECT
public:
    using TextField::TextField;

protected:
    bool wordWrap() const override { return true; }
    bool lowered() const override { return true; }
};

}  // namespace lum
