#include "widgets/GaugeBase.h"

#include <algorithm>

namespace lum {

GaugeBase::GaugeBase(QWidget* parent) : QWidget(parent) {}

void GaugeBase::setPosition(double value) {
    if (value == position_) return;
    position_ = value;
    update();
}

void GaugeBase::setErrorActive(bool on) {
    if (on == error_) return;
    error_ = on;
    update();
}

double GaugeBase::drawnPosition() const {
    if (error_) return min_;
    return std::clamp(position_, std::min(min_, max_), std::max(min_, max_));
}

void GaugeBase::setPositionMin(double v) { min_ = v; update(); }
void GaugeBase::setPositionMax(double v) { max_ = v; update(); }
void GaugeBase::setPointerColor(const QColor& c) { pointerColor_ = c; update(); }
void GaugeBase::setPointerSize(int px) { pointerSize_ = px; update(); }
void GaugeBase::setHubSize(int px) { hubSize_ = px; update(); }
void GaugeBase::setTickMajorCount(int n) { tickMajorCount_ = std::max(2, n); update(); }
void GaugeBase::setTickMinorCount(int n) { tickMinorCount_ = std::max(0, n); update(); }
void GaugeBase::setTickMajorLength(int px) { tickMajorLength_ = px; update(); }
void GaugeBase::setTickMinorLength(int px) { tickMinorLength_ = px; update(); }
void GaugeBase::setSectionCount(int n) { sectionCount_ = std::clamp(n, 1, 3); update(); }
void GaugeBase::setSectionEnd1(double v) { sectionEnd1_ = v; update(); }
void GaugeBase::setSectionEnd2(double v) { sectionEnd2_ = v; update(); }

void GaugeBase::setSectionColor(int section, const QColor& c) {
    if (section < 1 || section > 3) return;
    sectionColors_[section - 1] = c;
    update();
}

QColor GaugeBase::sectionColor(int section) const {
    if (section < 1 || section > 3) return {};
    return sectionColors_[section - 1];
}

double GaugeBase::fraction(double value) const {
    if (max_ == min_) return 0;
    return std::clamp((value - min_) / (max_ - min_), 0.0, 1.0);
}

std::pair<double, double> GaugeBase::sectionRange(int i) const {
    const double ends[] = {min_, sectionEnd1_, sectionEnd2_, max_};
    const double lo = i == 0 ? min_ : ends[i];
    const double hi = i + 1 >= sectionCount_ ? max_ : ends[i + 1];
    return {lo, hi};
}

}  // namespace lum
