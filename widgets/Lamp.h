#pragma once
// Lamp: a round light, lit or out, with a caption to its right. SwitchLamp adds a click
// that toggles it and fires its click handler; setting its state from code fires nothing.
// Main (GUI) thread only.
#include <QColor>
#include <QWidget>
#include <functional>

namespace lum {

class Lamp : public QWidget {
    Q_OBJECT
public:
    explicit Lamp(const QString& caption = {}, QWidget* parent = nullptr);

    virtual void setActive(bool lit);
    bool active() const { return active_; }
    void setCaption(const QString& caption);
    QString caption() const { return caption_; }
    void setActiveColor(const QColor& c);
    QColor activeColor() const { return activeColor_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    bool active_ = false;
    QString caption_;
    QColor activeColor_ = QColor(0, 230, 0);
};

class SwitchLamp : public Lamp {
    Q_OBJECT
public:
    explicit SwitchLamp(const QString& caption = {}, QWidget* parent = nullptr);
    // Called after every change of the state, by click or by code.
    std::function<void()> onChange;
    // Toggles as a click does, and emits clicked().
    void click();
    void setActive(bool lit) override;

signals:
    // A user click has toggled the state (setActive() from code emits nothing).
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
};

}  // namespace lum
