#include "widgets/GaugeBase.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "widgets/RepaintPace.h"

namespace lum {

GaugeBase::GaugeBase(QWidget* parent) : QWidget(parent) {
    // The face carries the background it stands on, so a repaint covers every pixel and
    // nothing behind the gauge is painted again.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

namespace {
// Pointer pictures kept at most; a pointer wandering further starts again from none.
constexpr int kMaxPointerPictures = 64;
}  // namespace

template <typename F>
void GaugeBase::movePointer(F change) {
    if (!faceValid_) {  // a full repaint is due anyway
        change();
        RepaintPace::Shared().update(this);
        return;
    }
    const int before = pointerPose();
    change();
    const int after = pointerPose();
    if (after != before) RepaintPace::Shared().update(this, QRegion(pointerBounds(before)) + pointerBounds(after));
}

void GaugeBase::setPosition(double value) {
    if (value == position_) return;
    movePointer([&] { position_ = value; });
}

void GaugeBase::setErrorActive(bool on) {
    if (on == error_) return;
    movePointer([&] { error_ = on; });
}

double GaugeBase::drawnPosition() const {
    if (error_) return min_;
    return std::clamp(position_, std::min(min_, max_), std::max(min_, max_));
}

// The scale, the ticks and the bands are drawn on the face.
void GaugeBase::setPositionMin(double v) { setFaceProperty(min_, v); }
void GaugeBase::setPositionMax(double v) { setFaceProperty(max_, v); }
void GaugeBase::setTickMajorCount(int n) { setFaceProperty(tickMajorCount_, std::max(2, n)); }
void GaugeBase::setTickMinorCount(int n) { setFaceProperty(tickMinorCount_, std::max(0, n)); }
void GaugeBase::setTickMajorLength(int px) { setFaceProperty(tickMajorLength_, px); }
void GaugeBase::setTickMinorLength(int px) { setFaceProperty(tickMinorLength_, px); }
void GaugeBase::setSectionCount(int n) { setFaceProperty(sectionCount_, std::clamp(n, 1, 3)); }
void GaugeBase::setSectionEnd1(double v) { setFaceProperty(sectionEnd1_, v); }
void GaugeBase::setSectionEnd2(double v) { setFaceProperty(sectionEnd2_, v); }

void GaugeBase::setSectionColor(int section, const QColor& c) {
    if (section < 1 || section > 3) return;
    setFaceProperty(sectionColors_[section - 1], c);
}

// The pointer's colour and the hub: only a repaint.
void GaugeBase::setPointerColor(const QColor& c) {
    if (c == pointerColor_) return;
    pointerColor_ = c;
    if (faceValid_) RepaintPace::Shared().update(this, pointerBounds(pointerPose()));
    else RepaintPace::Shared().update(this);
}
// A bar gauge's pointer lane, and so where its face lies, follows the pointer size.
void GaugeBase::setPointerSize(int px) { setFaceProperty(pointerSize_, px); }
void GaugeBase::setHubSize(int px) {
    if (px == hubSize_) return;
    hubSize_ = px;
    dropPointers();
    update();
}

void GaugeBase::dropPointers() { pointers_.clear(); }

void GaugeBase::invalidateFace() {
    faceValid_ = false;
    update();
}

void GaugeBase::paintEvent(QPaintEvent* e) {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (!faceValid_ || face_.size() != pixels || face_.devicePixelRatio() != ratio) {
        face_ = QPixmap(pixels);
        face_.setDevicePixelRatio(ratio);
        face_.fill(palette().color(backgroundRole()));
        QPainter fp(&face_);
        fp.setRenderHint(QPainter::Antialiasing);
        fp.setFont(font());
        paintFace(fp);
        faceValid_ = true;
        ++faceRenders_;
        dropPointers();  // the pointer may stand on the face's layout
    }
    QPainter p(this);
    // Only the area to repaint (after a move, where the pointer was and is).
    const QRect area = e->rect() & rect();
    p.drawPixmap(area, face_, QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));

    const int pose = pointerPose();
    const quint64 key = (static_cast<quint64>(pointerColor_.rgba()) << 32) | static_cast<quint32>(pose);
    if (pointersRatio_ != ratio) {
        dropPointers();
        pointersRatio_ = ratio;
    }
    auto it = pointers_.constFind(key);
    if (it == pointers_.constEnd()) {
        if (pointers_.size() >= kMaxPointerPictures) dropPointers();
        const QRect bounds = pointerBounds(pose);
        QImage image(bounds.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter pp(&image);
        pp.setRenderHint(QPainter::Antialiasing);
        pp.translate(-bounds.topLeft());
        pp.setFont(font());
        paintPointer(pp, pose);
        pp.end();
        ++pointerRenders_;
        it = pointers_.insert(key, PointerPicture{image, bounds.topLeft()});
    }
    if (area.intersects(QRect(it->at, it->image.deviceIndependentSize().toSize()))) p.drawImage(it->at, it->image);
}

void GaugeBase::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    faceValid_ = false;
    dropPointers();
}

void GaugeBase::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange)
        faceValid_ = false;
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
