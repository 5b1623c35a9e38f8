#pragma once
// Linear bar gauge, vertical (PositionMin at the bottom) or horizontal (PositionMin at the
// left): a scale with colour sections, major and minor ticks with labels, and a pointer
// that marks the position. A position outside the scale is drawn pinned at the nearer end.
// Main (GUI) thread only.
#include <QPolygonF>

#include "widgets/GaugeBase.h"

namespace lum {

class BarGauge : public GaugeBase {
    Q_OBJECT
  public:
    explicit BarGauge(Qt::Orientation orientation = Qt::Vertical, QWidget* parent = nullptr);
    Qt::Orientation orientation() const { return orientation_; }
    void setOrientation(Qt::Orientation o);

  protected:
    void paintFace(QPainter& p) override;
    int pointerPose() const override;
    QRect pointerBounds(int pose) const override;
    void paintPointer(QPainter& p, int pose) override;

  private:
    // Where the scale and the pointer lane lie.
    struct Frame {
        bool vertical;
        QFont font;
        double start, length;  // the scale along the bar
        double pointerLane, bandStart, bandWidth, tickStart, majorLen, minorLen;
        int majors;
        double step;
        bool whole;
        double at(double fraction) const { return vertical ? start - fraction * length : start + fraction * length; }
    };
    Frame frame() const;
    QPolygonF pointerTriangle(double pos) const;
    Frame frame_{};  // as the face was last drawn
    Qt::Orientation orientation_;
};

}  // namespace lum
