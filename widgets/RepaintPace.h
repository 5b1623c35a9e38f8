#pragma once
// The live instruments' repaints, held to at most one paint pass per period. A change that
// comes sooner after the last pass is drawn with the next one, at most one period late, so a
// fast line costs the window one pass (and its round trip to the display) per period instead
// of one per record, and the last value is always the one shown. A period of zero (the
// default) repaints at once. Main (GUI) thread only.
#include <QElapsedTimer>
#include <functional>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <vector>

class QWidget;

namespace lum {

class RepaintPace : public QObject {
  public:
    // The one pace the instruments share.
    static RepaintPace& Shared();

    void setPeriod(int milliseconds);
    int period() const { return period_; }

    // As QWidget::update(region), or of the whole widget when `region` is empty.
    void update(QWidget* widget, const QRegion& region = {});
    // Runs `show` now or with the next pass; a later one for the same `target` replaces it.
    // For a change that repaints through a call of Qt's own (a label's new text).
    void show(QObject* target, std::function<void()> show);
    // Hands every held repaint to its widget now (what the period's end does).
    void release();

  private:
    RepaintPace();
    struct Held {
        QPointer<QObject> target;
        bool repaint = false;
        QRegion region;  // of the repaint; empty: the whole widget
        std::function<void()> show;  // a change to make
    };
    // True when the change may be made at once, as the first of a new pass.
    bool due();
    Held& hold(QObject* target);
    int period_ = 0;
    QElapsedTimer sinceRelease_;
    QTimer timer_;
    std::vector<Held> held_;
};

}  // namespace lum
