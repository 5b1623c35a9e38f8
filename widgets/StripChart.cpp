#include "widgets/StripChart.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <sstream>

#include "common/AtomicFile.h"

namespace lum {

namespace {

constexpr int kToolbarHeight = 26;
constexpr int kTitleHeight = 22;
constexpr int kLegendWidth = 150;
constexpr int kLeftMargin = 46;
constexpr int kBottomMargin = 20;
constexpr int kRightGap = 8;
constexpr int kLineWidth = 3;
constexpr double kTimeStep = 30.0;  // seconds between time labels
constexpr double kBandPadding = 4;  // pixels kept free at each end of a band

const QColor kBackground(18, 22, 30);
const QColor kPlotBackground(8, 10, 14);
const QColor kGrid(52, 60, 72);
const QColor kAxisText(190, 198, 210);
const QColor kDefaultTrace(255, 80, 80);  // channels without a colour of their own
const QColor kTraceOutline(225, 230, 240);
constexpr int kLabelHeight = 12;

// A step of 1, 2 or 5 times a power of ten giving about `divisions` divisions of span.
double NiceStep(double span, int divisions) {
    if (!(span > 0)) return 1;
    const double raw = span / divisions;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / mag;
    return (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * mag;
}

QString Number(double v) {
    if (std::abs(v) < 1e-9) v = 0;
    return QString::number(v, 'g', 6);
}

double Linear(int channel8) {
    const double c = channel8 / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    return 0.2126 * Linear(c.red()) + 0.7152 * Linear(c.green()) + 0.0722 * Linear(c.blue());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor StripChart::plotBackground() { return kPlotBackground; }

QColor StripChart::traceColour(int channel) {
    const auto& c = kChartChannels.at(static_cast<std::size_t>(channel)).colour;
    return c ? QColor(c->r, c->g, c->b) : kDefaultTrace;
}

QColor StripChart::traceOutline(int channel) {
    if (ContrastRatio(traceColour(channel), kPlotBackground) >= kMinContrast) return {};
    return kTraceOutline;
}

StripChart::StripChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
    auto makeButton = [this](const QString& text, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setText(text);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setStyleSheet(
            QStringLiteral("QToolButton { color: #d4dae4; border: 1px solid #3a4252; border-radius: 3px;"
                           " padding: 1px 8px; background: #232a36; }"
                           "QToolButton:hover { background: #2f3848; }"
                           "QToolButton:checked { background: #4a5a74; color: #ffffff; }"));
        return b;
    };
    pauseButton_ = makeButton(QStringLiteral("Пауза"), QStringLiteral("Остановить прокрутку"));
    pauseButton_->setObjectName(QStringLiteral("PauseButton"));
    pauseButton_->setCheckable(true);
    saveButton_ =
        makeButton(QStringLiteral("Сохранить PNG"), QStringLiteral("Сохранить диаграмму как рисунок"));
    saveButton_->setObjectName(QStringLiteral("SaveImageButton"));
    exportButton_ =
        makeButton(QStringLiteral("Экспорт CSV"), QStringLiteral("Выгрузить все точки в файл CSV"));
    exportButton_->setObjectName(QStringLiteral("ExportCsvButton"));
    connect(pauseButton_, &QToolButton::toggled, this, [this](bool on) { setPaused(on); });
    connect(saveButton_, &QToolButton::clicked, this, [this] { saveImageAs(); });
    connect(exportButton_, &QToolButton::clicked, this, [this] { exportCsvAs(); });
    placeToolbar();
}

void StripChart::setTitle(const QString& title) {
    title_ = title;
    update();
}

void StripChart::setGridYAxisName(const QString& name) {
    gridYAxisName_ = name;
    update();
}

void StripChart::addPoint(int channel, double time, double value) {
    model_.AddPoint(channel, time, value);
    if (!paused_) update();
}

void StripChart::setPaused(bool paused) {
    if (paused == paused_) return;
    if (paused) pausedWindow_ = visibleWindow();
    paused_ = paused;
    if (pauseButton_->isChecked() != paused) pauseButton_->setChecked(paused);
    pauseButton_->setText(paused ? QStringLiteral("Продолжить") : QStringLiteral("Пауза"));
    update();
}

ChartRange StripChart::visibleWindow() const {
    if (paused_) return pausedWindow_;
    const double now = now_ ? now_() : QDateTime::currentMSecsSinceEpoch() / 1000.0;
    return model_.LatestWindow(now);
}

QString StripChart::timeOfDay(double time) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(time * 1000.0)))
        .toString(QStringLiteral("hh:mm:ss"));
}

QRect StripChart::plotRect() const {
    const int top = kToolbarHeight + kTitleHeight;
    return QRect(kLeftMargin, top, std::max(10, width() - kLeftMargin - kLegendWidth - kRightGap),
                 std::max(10, height() - top - kBottomMargin));
}

QStringList StripChart::legendTexts() const {
    QStringList out;
    for (int c = 0; c < kChartChannelCount; ++c) {
        const ChartSeries& s = model_.Series(c);
        QString line = QString::fromUtf8(kChartChannels[static_cast<std::size_t>(c)].title);
        line += s.empty() ? QStringLiteral(": —") : QStringLiteral(": ") + Number(s.Back().value);
        out << line;
    }
    return out;
}

void StripChart::placeToolbar() {
    int x = 4;
    for (QToolButton* b : {pauseButton_, saveButton_, exportButton_}) {
        const int w = b->sizeHint().width() + 6;
        b->setGeometry(x, 2, w, kToolbarHeight - 4);
        x += w + 2;
    }
}

void StripChart::resizeEvent(QResizeEvent*) {
    placeToolbar();
}

void StripChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);

    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPixelSize(13);
    p.setFont(titleFont);
    p.setPen(QColor(230, 234, 240));
    p.drawText(QRect(0, kToolbarHeight, width(), kTitleHeight), Qt::AlignCenter, title_);

    QFont small = font();
    small.setPixelSize(10);
    p.setFont(small);

    const QRect plot = plotRect();
    const ChartRange window = visibleWindow();
    const ChartRange ranges[3] = {model_.YAxisRange(0, window), model_.YAxisRange(1, window),
                                  model_.YAxisRange(2, window)};
    p.fillRect(plot, kPlotBackground);
    drawAxes(p, plot, window, ranges);
    drawTraces(p, plot, window, ranges);
    drawLegend(p, QRect(plot.right() + kRightGap, plot.top(), kLegendWidth - 4, plot.height()));
}

void StripChart::drawAxes(QPainter& p, const QRect& plot, ChartRange window, const ChartRange (&ranges)[3]) {
    const double span = window.max - window.min;
    // Time labels every 30 s of the clock, with vertical grid lines.
    p.setPen(QPen(kGrid, 1, Qt::DotLine));
    for (double t = std::ceil(window.min / kTimeStep) * kTimeStep; t <= window.max; t += kTimeStep) {
        const double x = plot.left() + (t - window.min) / span * plot.width();
        p.setPen(QPen(kGrid, 1, Qt::DotLine));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(kAxisText);
        p.drawText(QRectF(x - 30, plot.bottom() + 2, 60, kBottomMargin - 2), Qt::AlignHCenter | Qt::AlignTop,
                   timeOfDay(t));
    }
    // Each Y axis in its band: ticks, grid lines and labels on the left, a separator line
    // between bands.
    for (const AxisLabel& label : yAxisLabels(plot, ranges)) {
        const bool grid = gridYAxisName_ == QStringLiteral("<All>") ||
                          gridYAxisName_ == QString::fromUtf8(kChartYAxes[static_cast<std::size_t>(label.axis)].name);
        if (grid) {
            p.setPen(QPen(kGrid, 1, Qt::DotLine));
            p.drawLine(QPointF(plot.left(), label.y), QPointF(plot.right(), label.y));
        }
        p.setPen(kAxisText);
        p.drawLine(QPointF(plot.left() - 4, label.y), QPointF(plot.left(), label.y));
        p.drawText(label.rect, Qt::AlignRight | Qt::AlignVCenter, label.text);
    }
    for (int a = 0; a < kChartYAxisCount; ++a) {
        const ChartYAxisInfo& axis = kChartYAxes[static_cast<std::size_t>(a)];
        const double bandBottom = plot.bottom() - axis.bandLow * plot.height();
        const double bandTop = plot.bottom() - axis.bandHigh * plot.height();
        p.setPen(QPen(QColor(110, 120, 135), 1));
        p.drawLine(QPointF(plot.left(), bandTop), QPointF(plot.left(), bandBottom));
        if (a > 0) {
            p.setPen(QPen(QColor(80, 90, 104), 1));
            p.drawLine(QPointF(plot.left(), bandBottom), QPointF(plot.right(), bandBottom));
        }
    }
    p.setPen(QPen(QColor(110, 120, 135), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot.adjusted(0, 0, -1, -1));
}

QList<StripChart::AxisLabel> StripChart::yAxisLabels() const {
    const ChartRange window = visibleWindow();
    const ChartRange ranges[3] = {model_.YAxisRange(0, window), model_.YAxisRange(1, window),
                                  model_.YAxisRange(2, window)};
    return yAxisLabels(plotRect(), ranges);
}

QList<StripChart::AxisLabel> StripChart::yAxisLabels(const QRect& plot, const ChartRange (&ranges)[3]) const {
    QList<AxisLabel> out;
    for (int a = 0; a < kChartYAxisCount; ++a) {
        const ChartYAxisInfo& axis = kChartYAxes[static_cast<std::size_t>(a)];
        const double bandBottom = plot.bottom() - axis.bandLow * plot.height();
        const double bandTop = plot.bottom() - axis.bandHigh * plot.height();
        const ChartRange r = ranges[a];
        const double rspan = r.max - r.min;
        const double low = bandBottom - kBandPadding, high = bandTop + kBandPadding;
        auto yOf = [&](double v) { return low - (v - r.min) / rspan * (low - high); };
        // A label centred on its value, moved as little as needed to stay inside the band.
        auto labelAt = [&](double v) {
            const double y = yOf(v);
            const double top = std::max(bandTop + 1, std::min(y - kLabelHeight / 2.0, bandBottom - 1 - kLabelHeight));
            return AxisLabel{a, v, Number(v), QRectF(0, top, kLeftMargin - 6, kLabelHeight), y};
        };
        const std::size_t first = static_cast<std::size_t>(out.size());
        // The band's bottom and top values always; the grid steps between them where they
        // do not run into a label already placed.
        out << labelAt(r.min) << labelAt(r.max);
        const double step = NiceStep(rspan, std::max(1, static_cast<int>((bandBottom - bandTop) / 22)));
        for (double v = std::ceil(r.min / step) * step; v < r.max - step * 1e-6; v += step) {
            if (v <= r.min + step * 1e-6) continue;
            const AxisLabel label = labelAt(v);
            bool free = true;
            for (std::size_t i = first; i < static_cast<std::size_t>(out.size()) && free; ++i)
                free = !label.rect.adjusted(0, -1, 0, 1).intersects(out[static_cast<qsizetype>(i)].rect);
            if (free) out << label;
        }
    }
    return out;
}

void StripChart::drawTraces(QPainter& p, const QRect& plot, ChartRange window,
                            const ChartRange (&ranges)[3]) {
    p.save();
    p.setClipRect(plot.adjusted(1, 1, -1, -1));
    // Plain 3 px segments with square ends: joints close without gaps, and the raster cost
    // stays a small fraction of a millisecond per channel (smoothed strokes of a whole
    // zig-zag polyline cost ten times more).
    p.setRenderHint(QPainter::Antialiasing, false);
    const double span = window.max - window.min;
    for (int c = 0; c < kChartChannelCount; ++c) {
        const ChartChannelInfo& info = kChartChannels[static_cast<std::size_t>(c)];
        const ChartYAxisInfo& axis = kChartYAxes[static_cast<std::size_t>(info.yAxis)];
        const ChartRange r = ranges[info.yAxis];
        const double bandBottom = plot.bottom() - axis.bandLow * plot.height() - kBandPadding;
        const double bandHeight = (axis.bandHigh - axis.bandLow) * plot.height() - 2 * kBandPadding;
        model_.VisiblePoints(c, window, plot.width(), scratch_);
        if (scratch_.empty()) continue;
        segments_.clear();
        QPointF last;
        for (std::size_t i = 0; i < scratch_.size(); ++i) {
            const ChartPoint& pt = scratch_[i];
            const QPointF here(plot.left() + (pt.time - window.min) / span * plot.width(),
                               bandBottom - (pt.value - r.min) / (r.max - r.min) * bandHeight);
            if (i > 0) segments_.append(QLineF(last, here));
            last = here;
        }
        auto stroke = [&](const QColor& colour, int width) {
            p.setPen(QPen(colour, width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            if (segments_.isEmpty())
                p.drawPoint(last);
            else
                p.drawLines(segments_);
        };
        if (const QColor outline = traceOutline(c); outline.isValid()) stroke(outline, kLineWidth + 2);
        stroke(traceColour(c), kLineWidth);
    }
    p.restore();
}

void StripChart::drawLegend(QPainter& p, const QRect& area) {
    p.fillRect(area, QColor(26, 31, 41));
    p.setPen(QColor(60, 68, 82));
    p.drawRect(area.adjusted(0, 0, -1, -1));
    const QStringList texts = legendTexts();
    const int rowHeight = 18;
    int y = area.top() + 6;
    p.setPen(kAxisText);
    const auto newest = model_.NewestTime();
    p.drawText(QRect(area.left() + 6, y, area.width() - 12, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
               newest ? QStringLiteral("Время: ") + timeOfDay(*newest) : QStringLiteral("Нет данных"));
    y += rowHeight + 4;
    for (int c = 0; c < kChartChannelCount; ++c, y += rowHeight) {
        if (y + rowHeight > area.bottom()) break;
        const int mid = y + rowHeight / 2;
        if (const QColor outline = traceOutline(c); outline.isValid()) {
            p.setPen(QPen(outline, kLineWidth + 2));
            p.drawLine(area.left() + 6, mid, area.left() + 22, mid);
        }
        p.setPen(QPen(traceColour(c), kLineWidth));
        p.drawLine(area.left() + 6, mid, area.left() + 22, mid);
        p.setPen(kAxisText);
        p.drawText(QRect(area.left() + 28, y, area.width() - 32, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   texts[c]);
    }
}

bool StripChart::saveImage(const QString& path) {
    return grab().save(path, "PNG");
}

bool StripChart::exportCsv(const QString& path) {
    std::ostringstream out;
    model_.WriteCsv(out, [](double t) {
        return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(t * 1000.0 + 0.5)))
            .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
            .toStdString();
    });
    WriteFileAtomically(path.toStdString(), out.str());
    return true;
}

namespace {
QString WithSuffix(const std::string& chosen, const char* suffix) {
    return QString::fromStdString(lum::WithSuffix(chosen, suffix));
}
}  // namespace

bool StripChart::saveImageAs() {
    if (!dialogs_) return false;
    const auto chosen = dialogs_->SaveFileName({}, "Рисунок PNG (*.png)|*.png");
    if (!chosen) return false;
    const QString path = WithSuffix(*chosen, ".png");
    if (saveImage(path)) return true;
    dialogs_->MessageBox("Не удалось сохранить рисунок в файл " + path.toStdString(), kCaptionErrorRu);
    return false;
}

bool StripChart::exportCsvAs() {
    if (!dialogs_) return false;
    const auto chosen = dialogs_->SaveFileName({}, "Таблица CSV (*.csv)|*.csv");
    if (!chosen) return false;
    const QString path = WithSuffix(*chosen, ".csv");
    try {
        return exportCsv(path);
    } catch (const FileError& e) {
        dialogs_->MessageBox(e.what(), kCaptionErrorRu);
        return false;
    }
}

}  // namespace lum
