#pragma once
// Round dial gauge: a 270 degree scale from PositionMin (lower left) to PositionMax (lower
// right) with colour sections along its inner edge, major and minor ticks with labels, a
// tapered pointer of PointerSize width and a hub of HubSize diameter. A position outside
// the scale is drawn pinned at the nearer end. Main (GUI) thread only.
#include <QPolygonF>

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
    int pointerPose() const override;
    QRect pointerBounds(int pose) const override;
    void paintPointer(QPainter& p, int pose) override;

  private:
    struct Frame {
        double side;
        QPointF centre;
        double tickOuter;  // radius of the tick ring's outer edge
    };
    Frame frame() const;
    QPolygonF needle(int pose) const;
    double hubRadius() const;
};

}  // namespace lum
