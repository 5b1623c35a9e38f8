#pragma once
// Strip chart: the time diagrams. Eight channels drawn against three Y axes stacked in
// bands (bottom 0-27.08 %, middle 27.08-62.92 %, top 62.92-100 % of the plot height) over
// a 180 s time window that scrolls with the newest point; a title, a one-column legend with
// each channel's newest value, and a toolbar (no zoom) to pause the scrolling, save the
// chart as a PNG picture and export every point as CSV.
//
// The chart keeps all points (telemetry/ChartModel); a repaint draws only the visible
// window, at most about two points per pixel column, so its cost does not grow with the
// history. Adding points only schedules a repaint (update()), so bursts are coalesced.
//
// Main (GUI) thread only.
#include <QColor>
#include <QLineF>
#include <QList>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <functional>

#include "common/Dialogs.h"
#include "telemetry/ChartModel.h"

class QPainter;
class QToolButton;

namespace lum {

// Contrast ratio of two colours from their relative luminance (sRGB): 1 for equal colours,
// 21 for black against white.
double ContrastRatio(const QColor& a, const QColor& b);

class StripChart : public QWidget {
    Q_OBJECT
  public:
    explicit StripChart(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    QString title() const { return title_; }
    // Which Y axis the grid of the data view follows ("<All>" for all of them, or an axis
    // name such as "Y-Axis 2").
    void setGridYAxisName(const QString& name);
    QString gridYAxisName() const { return gridYAxisName_; }

    // Appends a point; time in seconds since the epoch (shown as local time of day).
    void addPoint(int channel, double time, double value);
    const ChartModel& model() const { return model_; }

    // Scrolling: while paused, the window stays where it was and points are still kept.
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    // The time window drawn now.
    ChartRange visibleWindow() const;
    // The clock used for the window while no point exists (seconds since the epoch).
    void setClock(std::function<double()> now) { now_ = std::move(now); }

    // Where the toolbar asks for file names and reports failures.
    void setDialogs(IDialogs* dialogs) { dialogs_ = dialogs; }
    // The toolbar's actions. Each asks for a file name; false when cancelled or failed
    // (a failure is reported in a message box).
    bool saveImageAs();
    bool exportCsvAs();
    // The same without asking: saveImage false on failure; exportCsv writes through
    // WriteFileAtomically and raises FileError naming the file.
    bool saveImage(const QString& path);
    bool exportCsv(const QString& path);

    // The area the traces are drawn in (below the toolbar and title, left of the legend).
    QRect plotRect() const;
    // Legend lines as shown: channel title and newest value.
    QStringList legendTexts() const;

    QToolButton* pauseButton() const { return pauseButton_; }
    QToolButton* saveButton() const { return saveButton_; }
    QToolButton* exportButton() const { return exportButton_; }

    // Local time of day for a chart time, hh:mm:ss.
    static QString timeOfDay(double time);

    // Colours: every trace reads against what it is drawn on (a contrast ratio of at least
    // kMinContrast). A channel colour too dark for the plot background (the blue of the
    // generator) is drawn over a thin light outline instead of being changed.
    static constexpr double kMinContrast = 3.0;
    static QColor plotBackground();
    static QColor traceColour(int channel);
    // The outline drawn under a channel's trace, or an invalid colour when it needs none.
    static QColor traceOutline(int channel);

    // A value label of a Y axis: every band shows its bottom and top value, and the values
    // of the grid steps between them where there is room.
    struct AxisLabel {
        int axis;
        double value;
        QString text;
        QRectF rect;  // where the text is drawn
        double y;     // the value's height in the plot
    };
    QList<AxisLabel> yAxisLabels() const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    void drawAxes(QPainter& p, const QRect& plot, ChartRange window, const ChartRange (&ranges)[3]);
    QList<AxisLabel> yAxisLabels(const QRect& plot, const ChartRange (&ranges)[3]) const;
    void drawTraces(QPainter& p, const QRect& plot, ChartRange window, const ChartRange (&ranges)[3]);
    void drawLegend(QPainter& p, const QRect& area);
    void placeToolbar();

    QString title_;
    QString gridYAxisName_;
    ChartModel model_;
    bool paused_ = false;
    ChartRange pausedWindow_{0, 0};
    std::function<double()> now_;
    IDialogs* dialogs_ = nullptr;
    QToolButton* pauseButton_;
    QToolButton* saveButton_;
    QToolButton* exportButton_;
    std::vector<ChartPoint> scratch_;  // reused by every repaint
    QList<QLineF> segments_;
};

}  // namespace lum
