#include "app/BusyControls.h"

#include <QAbstractButton>
#include <QVariant>

#include "widgets/Lamp.h"

namespace lum {
namespace {

constexpr const char* kNeedsNoLink = "needsNoLink";

bool NeedsNoLink(const QWidget* w, const QWidget* root) {
    for (; w && w != root; w = w->parentWidget())
        if (w->property(kNeedsNoLink).toBool()) return true;
    return false;
}

}  // namespace

void BusyControls::MarkNeedsNoLink(QWidget* w) {
    w->setProperty(kNeedsNoLink, true);
}

std::vector<QWidget*> BusyControls::HeldControls() const {
    std::vector<QWidget*> held;
    for (QWidget* root : roots_) {
        for (QWidget* w : root->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<SwitchLamp*>(w);
            if (control && !NeedsNoLink(w, root)) held.push_back(w);
        }
    }
    return held;
}

void BusyControls::SetBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy) {
        saved_.clear();
        for (QWidget* w : HeldControls()) {
            saved_.emplace_back(w, w->isEnabled());
            w->setEnabled(false);
        }
        return;
    }
    for (auto& [w, was] : saved_)
        if (w) w->setEnabled(was);
    saved_.clear();
}

void BusyControls::SetEnabled(QWidget* w, bool enabled) {
    for (auto& [control, was] : saved_) {
        if (control == w) {
            was = enabled;
            return;
        }
    }
    w->setEnabled(enabled);
}

}  // namespace lum
