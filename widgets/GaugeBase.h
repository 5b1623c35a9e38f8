#pragma once
// Common part of the dial and bar gauges: a scale from PositionMin to PositionMax,
// a pointer position, up to three colour sections split at SectionEnd1/SectionEnd2,
// ticks, pointer and hub sizes.
//
// The face (everything that does not move: panel, scale, bands, ticks, labels) is drawn
// once into a pixmap and kept until the size, the font, the scale, the ticks or the bands
// change. The pointer is drawn once per pose and colour into a picture of its own and kept
// as well. A new position repaints only the area of the pointer's old and new pose, and
// nothing when the pointer lands where it was drawn (within a fraction of a pixel).
// Main (GUI) thread only.
#include <QColor>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <array>

namespace lum {

class GaugeBase : public QWidget {
    Q_OBJECT
public:
    explicit GaugeBase(QWidget* parent = nullptr);

    void setPosition(double value);
    double position() const { return position_; }
    // The position as drawn: pinned to the scale ends; at the scale's low end (PositionMin)
    // while the error state is on.
    double drawnPosition() const;
    // Error state: the gauge has no value to show, so its pointer rests at the low end of the
    // scale whatever the position is (a position set meanwhile is kept for later).
    void setErrorActive(bool on);
    bool errorActive() const { return error_; }

    void setPositionMin(double v);
    void setPositionMax(double v);
    double positionMin() const { return min_; }
    double positionMax() const { return max_; }

    void setPointerColor(const QColor& c);
    QColor pointerColor() const { return pointerColor_; }
    void setPointerSize(int px);
    int pointerSize() const { return pointerSize_; }
    void setHubSize(int px);
    int hubSize() const { return hubSize_; }

    void setTickMajorCount(int n);
    int tickMajorCount() const { return tickMajorCount_; }
    void setTickMinorCount(int n);
    int tickMinorCount() const { return tickMinorCount_; }
    void setTickMajorLength(int px);
    int tickMajorLength() const { return tickMajorLength_; }
    void setTickMinorLength(int px);
    int tickMinorLength() const { return tickMinorLength_; }

    // Number of colour sections (1 to 3) and where they end.
    void setSectionCount(int n);
    int sectionCount() const { return sectionCount_; }
    void setSectionEnd1(double v);
    double sectionEnd1() const { return sectionEnd1_; }
    void setSectionEnd2(double v);
    double sectionEnd2() const { return sectionEnd2_; }
    // Colour of section 1..3.
    void setSectionColor(int section, const QColor& c);
    QColor sectionColor(int section) const;

    // Drops the kept face: the next paint draws it anew.
    void invalidateFace();
    // How many times the face has been drawn since the gauge was made.
    int faceRenders() const { return faceRenders_; }
    // How many pointer pictures have been drawn since the gauge was made.
    int pointerRenders() const { return pointerRenders_; }

protected:
    // Draws the face (on a pixmap of the widget's size filled with its background colour).
    virtual void paintFace(QPainter& p) = 0;
    // The pointer's pose at the drawn position, rounded so that poses drawn alike share the
    // number (a bar: quarter pixels along the scale; a dial: sixteenths of a degree).
    virtual int pointerPose() const = 0;
    // The area the pointer (and what covers it) takes in a pose, in the widget's pixels; valid
    // while the face is (it may depend on the face's layout).
    virtual QRect pointerBounds(int pose) const = 0;
    // Draws what moves over the face in a pose: the pointer (and what covers it).
    virtual void paintPointer(QPainter& p, int pose) = 0;
    // Drops the kept pointer pictures (what they show changed).
    void dropPointers();
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

    // Fraction 0..1 of a value along the scale, clamped.
    double fraction(double value) const;
    // Start and end value of section i (0-based) along the scale.
    std::pair<double, double> sectionRange(int i) const;

    double position_ = 0;
    bool error_ = false;
    double min_ = 0;
    double max_ = 100;
    QColor pointerColor_ = QColor(0, 0, 255);
    int pointerSize_ = 6;
    int hubSize_ = 10;
    int tickMajorCount_ = 5;
    int tickMinorCount_ = 4;
    int tickMajorLength_ = 10;
    int tickMinorLength_ = 5;
    int sectionCount_ = 1;
    double sectionEnd1_ = 50;
    double sectionEnd2_ = 75;
    std::array<QColor, 3> sectionColors_ = {QColor(0, 128, 0), QColor(255, 255, 0), QColor(255, 0, 0)};

private:
    // Applies a change that may move the pointer and repaints the area it left and took.
    template <typename F>
    void movePointer(F change);
    // Sets a face property; a change drops the kept face.
    template <typename T>
    void setFaceProperty(T& field, const T& value) {
        if (field == value) return;
        field = value;
        invalidateFace();
    }
    QPixmap face_;
    bool faceValid_ = false;
    int faceRenders_ = 0;
    struct PointerPicture {
        QImage image;
        QPoint at;
    };
    QHash<quint64, PointerPicture> pointers_;  // by colour and pose
    qreal pointersRatio_ = 0;
    int pointerRenders_ = 0;
};

}  // namespace lum
