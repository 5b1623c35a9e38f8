#pragma once
// Round dial gauge: a 270 degree scale from PositionMin (lower left) to PositionMax (lower
// right) with colour sections along its inner edge, major and minor ticks with labels, a
// tapered pointer of PointerSize width and a hub of HubSize diameter. A position outside
// the scale is drawn pinned at the nearer end. Main (GUI) thread only.
#include "widgets/GaugeBase.h"

namespace lum {

class DialGauge : public GaugeBase {
    Q_OBJECT
  public:
    explicit DialGauge(QWidget* parent = nullptr);

    // Angle of a value on the dial in degrees (counter-clockwise from 3 o'clock), pinned to
    // the scale: 225 at PositionMin, -45 at PositionMax.
    double angleOf(double value) const;

  protected:
    void paintFace(QPainter& p) override;
    void paintPointer(QPainter& p) override;

  private:
    struct Frame {
        double side;
        QPointF centre;
        double tickOuter;  // radius of the tick ring's outer edge
    };
    Frame frame() const;
    QPixmap hub_;  // the hub, drawn once per size (it covers the pointer's root)
    QPointF hubCentre_;
    double hubRadius_ = 0;
};

}  // namespace lum
