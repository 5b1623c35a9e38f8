#pragma once
// Linear bar gauge, vertical or horizontal, with a pointer along the scale.
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
