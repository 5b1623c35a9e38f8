#include "widgets/RepaintPace.h"

#include <QWidget>
#include <algorithm>

namespace lum {

RepaintPace& RepaintPace::Shared() {
    static RepaintPace* pace = new RepaintPace;  // lives as long as the widgets it serves
    return *pace;
}

RepaintPace::RepaintPace() {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &RepaintPace::release);
}

void RepaintPace::setPeriod(int milliseconds) {
    period_ = std::max(0, milliseconds);
    if (period_ == 0) release();
    sinceRelease_.invalidate();  // the next change is the first of a period
}

namespace {
void Repaint(QWidget* widget, const QRegion& region) {
    if (region.isEmpty()) widget->update();
    else widget->update(region);
}
}  // namespace

bool RepaintPace::due() {
    if (period_ > 0 && (timer_.isActive() || (sinceRelease_.isValid() && sinceRelease_.elapsed() < period_)))
        return false;
    sinceRelease_.start();  // the pass this change joins
    return true;
}

RepaintPace::Held& RepaintPace::hold(QObject* target) {
    if (!timer_.isActive()) timer_.start(std::max<qint64>(0, period_ - sinceRelease_.elapsed()));
    auto it = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.target == target; });
    if (it != held_.end()) return *it;
    held_.push_back({target, false, {}, {}});
    return held_.back();
}

void RepaintPace::update(QWidget* widget, const QRegion& region) {
    if (due()) return Repaint(widget, region);
    Held& h = hold(widget);
    // Every place asked for is repainted (a pointer's old places too); one whole asks for all.
    if (!h.repaint || region.isEmpty()) h.region = region;
    else if (!h.region.isEmpty()) h.region += region;
    h.repaint = true;
}

void RepaintPace::show(QObject* target, std::function<void()> show) {
    if (due()) return show();
    hold(target).show = std::move(show);
}

void RepaintPace::release() {
    timer_.stop();
    sinceRelease_.start();
    std::vector<Held> held;
    held.swap(held_);
    for (const Held& h : held) {
        if (!h.target) continue;  // gone meanwhile
        if (h.show) h.show();
        if (h.repaint) Repaint(static_cast<QWidget*>(h.target.data()), h.region);
    }
}

}  // namespace lum
