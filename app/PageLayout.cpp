// The window's size handler: places the controls by the proportional rules of
// app/logic/LayoutRules for the current outer size of the window.
#include <stdexcept>

#include "app/logic/LayoutRules.h"
#include "app/Unit1.h"
#include "widgets/GaugeBase.h"

namespace lum {

namespace {
constexpr int kDesignFrameWidth = 0;
constexpr int kDesignFrameHeight = 38;
}  // namespace

QSize TForm1::OuterSizeForLayout() const {
    // The rules are written for the outer size of a framed window. Without a window
    // manager (no frame known) take a frame of a caption and borders 38 pixels high in
    // all and no side borders, so the pages stay within the client area. (The page
    // control's height follows the status bar, not the frame.)
    const QSize outer = frameGeometry().size();
    if (outer != size()) return outer;
    return outer + QSize(kDesignFrameWidth, kDesignFrameHeight);
}

void TForm1::FormConstrainedResize() {
    layout::LayoutInput in;
    const QSize outer = OuterSizeForLayout();
    in.outerWidth = outer.width();
    in.clientWidth = width();
    in.clientHeight = height();
    in.statusBarHeight = StatusBar1->height();
    std::map<std::string, QWidget*> widgets;
    std::string unresolved;  // names the rules use that no control of the window carries
    for (const std::string& name : layout::LayoutControlNames()) {
        QWidget* w =
            name == "PageControl1" ? PageControl1 : findChild<QWidget*>(QString::fromStdString(name));
        if (!w) {
            unresolved += " " + name;
            continue;
        }
        widgets[name] = w;
        const QRect g = w->geometry();
        in.controls[name] = {g.left(), g.top(), g.width(), g.height()};
    }

    const layout::LayoutResult out = layout::ApplyLayoutRules(in);
    // A rule left out would leave its controls where they were: a fault of the window's build.
    for (const std::string& name : out.missing)
        if (unresolved.find(" " + name) == std::string::npos) unresolved += " " + name;
    if (!unresolved.empty())
        throw std::logic_error("layout: no control named" + unresolved);
    for (const auto& [name, g] : out.controls) {
        QWidget* w = widgets.at(name);
        const QRect wanted(g.left, g.top, g.width, g.height);
        if (w->geometry() != wanted) w->setGeometry(wanted);
    }
    for (const auto& [name, m] : out.gauges) {
        auto* gauge = qobject_cast<GaugeBase*>(widgets.at(name));
        if (!gauge) continue;
        gauge->setTickMajorLength(m.majorTickLength);
        gauge->setTickMinorLength(m.minorTickLength);
        gauge->setPointerSize(m.pointerSize);
        if (m.hubSize) gauge->setHubSize(*m.hubSize);
    }
}

}  // namespace lum
