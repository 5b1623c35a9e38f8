#pragma once
// Round dial gauge with a pointer sweeping 270 degrees. Main (GUI) thread only.
#include "widgets/GaugeBase.h"

namespace lum {

class DialGauge : public GaugeBase {
    Q_OBJECT
public:
    explicit DialGauge(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};

}  // namespace lum
