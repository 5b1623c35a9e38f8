#pragma once
// Linear bar gauge, vertical (PositionMin at the bottom) or horizontal (PositionMin at the
// left): a scale with colour sections, major and minor ticks with labels, and a pointer
// that marks the position. A position outside the scale is drawn pinned at the nearer end.
// Main (GUI) thread only.
#include "widgets/GaugeBase.h"

namespace lum {

class BarGauge : public GaugeBase {
    Q_OBJECT
  public:
    explicit BarGauge(Qt::Orientation orientation = Qt::Vertical, QWidget* parent = nullptr);
    Qt::Orientation orientation() const { return orientation_; }
    void setOrientation(Qt::Orientation o);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    Qt::Orientation orientation_;
};

}  // namespace lum
