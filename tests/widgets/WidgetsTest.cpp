#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <functional>

#include "tests/support/ScriptedDialogs.h"
#include "widgets/BarGauge.h"
#include "widgets/DialGauge.h"
#include "widgets/Lamp.h"
#include "widgets/StatusPanel.h"
#include "widgets/NumericDisplay.h"
#include "widgets/RepaintPace.h"
#include "widgets/StripChart.h"
#include "widgets/TextField.h"

namespace lum {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_widgets";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

QImage Render(QWidget& w) {
    QImage img(w.size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    w.render(&img);
    return img;
}

// Number of pixels of exactly this colour inside a rectangle of the image.
int CountColour(const QImage& img, QColor colour, QRect area = {}) {
    if (area.isNull()) area = img.rect();
    area &= img.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += img.pixelColor(x, y) == colour;
    return n;
}

class Widgets : public ::testing::Test {
  protected:
    Widgets() { App(); }  // before any widget member of a derived fixture
};

TEST_F(Widgets, NumericDisplayShowsDashesInRedWhileInError) {
    NumericDisplay d;
    d.resize(80, 24);
    d.setUnitsText(QStringLiteral("В"));
    d.setValue(13.46);
    EXPECT_EQ(d.displayText(), QStringLiteral("13.5В"));  // one decimal unless set
    d.setPrecision(0);
    d.setValue(219.6);
    EXPECT_EQ(d.displayText(), QStringLiteral("220В"));
    d.setUnitsText(QStringLiteral(" C"));
    d.setValue(-30);
    EXPECT_EQ(d.displayText(), QStringLiteral("-30 C"));

    const QImage normal = Render(d);
    EXPECT_GT(CountColour(normal, QColor(0, 255, 255)), 0);
    EXPECT_EQ(CountColour(normal, QColor(255, 0, 0)), 0);

    d.setErrorActive(true);
    EXPECT_EQ(d.displayText(), QStringLiteral("---"));
    d.setValue(5);  // a value set in the error state waits behind the dashes
    EXPECT_EQ(d.displayText(), QStringLiteral("---"));
    const QImage error = Render(d);
    EXPECT_GT(CountColour(error, QColor(255, 0, 0)), 0);
    EXPECT_EQ(CountColour(error, QColor(0, 255, 255)), 0);
    EXPECT_EQ(error.pixelColor(1, 1), QColor(Qt::black));

    d.setErrorActive(false);
    EXPECT_EQ(d.displayText(), QStringLiteral("5 C"));
}

TEST_F(Widgets, TextFieldKeepsItsTextBehindTheErrorState) {
    TextField f;
    f.resize(100, 20);
    f.setText(QStringLiteral("205ч 45м"));
    f.setErrorActive(true);
    EXPECT_EQ(f.displayText(), QStringLiteral("---"));
    EXPECT_EQ(f.text(), QStringLiteral("205ч 45м"));
    f.setErrorActive(false);
    EXPECT_EQ(f.displayText(), QStringLiteral("205ч 45м"));

    // A two-line panel text is drawn on two lines (the break pair is not shown as glyphs).
    TextPanel panel;
    panel.resize(200, 40);
    panel.setText(QStringLiteral("Работа ГУ\n\r00:01:01"));
    const QImage img = Render(panel);
    const int topHalf = CountColour(img, QColor(0, 255, 255), QRect(0, 0, 200, 20));
    const int bottomHalf = CountColour(img, QColor(0, 255, 255), QRect(0, 20, 200, 20));
    EXPECT_GT(topHalf, 0);
    EXPECT_GT(bottomHalf, 0);
}

TEST_F(Widgets, SwitchLampFiresItsClickOnlyForClicks) {
    SwitchLamp s(QStringLiteral("Режим Авто"));
    s.resize(150, 22);
    int clicks = 0, changes = 0;
    QObject::connect(&s, &SwitchLamp::clicked, [&] { ++clicks; });
    s.onChange = [&] { ++changes; };
    QSignalSpy spy(&s, &SwitchLamp::clicked);

    s.setActive(true);  // from code: no click
    s.setActive(true);  // no change either
    EXPECT_TRUE(s.active());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(spy.count(), 0);

    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(10, 11));
    EXPECT_FALSE(s.active());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(spy.count(), 1);
    // The click handler sees the state after the toggle.
    bool seen = false;
    QObject::connect(&s, &SwitchLamp::clicked, [&] { seen = s.active(); });
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(10, 11));
    EXPECT_TRUE(seen);
    // A release outside the lamp is no click.
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(400, 11));
    EXPECT_TRUE(s.active());
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(Widgets, GaugesPinValuesOutsideTheScale) {
    DialGauge dial;
    dial.resize(130, 130);
    dial.setPositionMin(140);
    dial.setPositionMax(300);
    BarGauge vertical(Qt::Vertical);
    vertical.resize(56, 196);
    vertical.setPositionMin(-20);
    vertical.setPositionMax(40);
    BarGauge horizontal(Qt::Horizontal);
    horizontal.resize(280, 56);
    horizontal.setPositionMin(-113);
    horizontal.setPositionMax(-51);

    struct Case {
        GaugeBase* gauge;
        double below, min, inside, max, above;
    };
    for (const Case& c : {Case{&dial, 0, 140, 220, 300, 400}, Case{&vertical, -30, -20, 10, 40, 127},
                          Case{&horizontal, -200, -113, -73, -51, 0}}) {
        auto at = [&](double v) {
            c.gauge->setPosition(v);
            return Render(*c.gauge);
        };
        EXPECT_EQ(at(c.above), at(c.max)) << c.gauge->metaObject()->className();
        EXPECT_EQ(at(c.below), at(c.min)) << c.gauge->metaObject()->className();
        EXPECT_NE(at(c.inside), at(c.max)) << c.gauge->metaObject()->className();
        // The position itself is kept as given.
        c.gauge->setPosition(c.above);
        EXPECT_EQ(c.gauge->position(), c.above);
        EXPECT_EQ(c.gauge->drawnPosition(), c.max);
    }
    EXPECT_DOUBLE_EQ(dial.angleOf(140), 225);
    EXPECT_DOUBLE_EQ(dial.angleOf(300), -45);
    EXPECT_DOUBLE_EQ(dial.angleOf(1000), -45);
}

TEST_F(Widgets, GaugeInErrorRestsAtTheLowEndOfItsScale) {
    BarGauge signal(Qt::Horizontal);
    signal.resize(280, 56);
    signal.setPositionMin(-113);
    signal.setPositionMax(-51);
    signal.setPosition(-113);
    const QImage atLowEnd = Render(signal);
    signal.setPosition(0);  // above the scale: drawn at the top end, full signal
    const QImage full = Render(signal);
    EXPECT_NE(full, atLowEnd);

    signal.setErrorActive(true);
    EXPECT_TRUE(signal.errorActive());
    EXPECT_EQ(signal.position(), 0);
    EXPECT_EQ(signal.drawnPosition(), -113);
    EXPECT_EQ(Render(signal), atLowEnd);
    signal.setPosition(-73);  // kept while in error, drawn once it is lifted
    EXPECT_EQ(Render(signal), atLowEnd);
    signal.setErrorActive(false);
    EXPECT_EQ(signal.drawnPosition(), -73);

    DialGauge dial;
    dial.resize(130, 130);
    dial.setPositionMin(140);
    dial.setPositionMax(300);
    dial.setPosition(220);
    dial.setErrorActive(true);
    EXPECT_EQ(dial.drawnPosition(), 140);
}

// The face is drawn once and kept: a new position repaints over the kept face and looks
// exactly as a gauge drawn from scratch; what the face shows (scale, bands, ticks, size)
// has it drawn anew, and setting a value it already has does not.
TEST_F(Widgets, GaugeFaceIsKeptUntilWhatItShowsChanges) {
    DialGauge dial;
    dial.resize(127, 127);
    BarGauge bar(Qt::Vertical);
    // Wide enough that the ticks have room whatever the labels' font (ticks give way to labels).
    bar.resize(120, 196);
    for (GaugeBase* g : {static_cast<GaugeBase*>(&dial), static_cast<GaugeBase*>(&bar)}) {
        SCOPED_TRACE(g->metaObject()->className());
        g->setPositionMin(140);
        g->setPositionMax(300);
        g->setSectionCount(3);
        g->setSectionEnd1(180);
        g->setSectionEnd2(260);
        Render(*g);
        const int first = g->faceRenders();
        for (double v : {150.0, 220.0, 299.0}) {
            g->setPosition(v);
            const QImage kept = Render(*g);
            g->invalidateFace();
            EXPECT_EQ(kept, Render(*g)) << v;  // the kept face gives the same pixels
        }
        EXPECT_EQ(g->faceRenders(), first + 3);  // only the three drawn on purpose
        const struct {
            const char* what;
            std::function<void()> apply;
            bool redraws;
        } changes[] = {
            {"same band end", [&] { g->setSectionEnd1(180); }, false},
            {"pointer", [&] { g->setErrorActive(true), g->setPointerColor(Qt::red); }, false},
            {"band end", [&] { g->setSectionEnd1(190); }, true},
            {"band colour", [&] { g->setSectionColor(2, Qt::darkGreen); }, true},
            {"scale", [&] { g->setPositionMin(100); }, true},
            {"ticks", [&] { g->setTickMajorCount(7); }, true},
            {"tick length", [&] { g->setTickMajorLength(3); }, true},
            {"pointer size", [&] { g->setPointerSize(9); }, true},
            {"size", [&] { g->resize(g->width() + 2, g->height() + 2); }, true},
        };
        for (const auto& c : changes) {
            const int before = g->faceRenders();
            const QImage old = Render(*g);
            c.apply();
            const QImage now = Render(*g);
            EXPECT_EQ(g->faceRenders(), before + (c.redraws ? 1 : 0)) << c.what;
            if (c.redraws) {
                EXPECT_NE(now, old) << c.what;  // the change shows
            }
        }
    }
}

TEST_F(Widgets, GaugePointerColourIsDrawn) {
    DialGauge dial;
    dial.resize(170, 170);
    dial.setPositionMin(140);
    dial.setPositionMax(300);
    dial.setPosition(220);  // straight up
    dial.setPointerSize(12);
    for (QColor c : {QColor(0, 0, 255), QColor(255, 255, 0), QColor(255, 0, 0)}) {
        dial.setPointerColor(c);
        EXPECT_GT(CountColour(Render(dial), c, QRect(80, 20, 10, 50)), 10) << c.name().toStdString();
    }
}

// Counts the paint events a widget gets and the area they cover.
struct PaintCount : QObject {
    explicit PaintCount(QWidget& w) { w.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints, area |= static_cast<QPaintEvent*>(e)->region();
        return false;
    }
    int paints = 0;
    QRegion area;
};

// A record that changes nothing to be seen repaints nothing; a move repaints only the
// pointer's old and new place, and a pose drawn before is not drawn again.
TEST_F(Widgets, ShownValuesRepaintOnlyWhatChanged) {
    QWidget window;
    window.resize(300, 220);
    auto* dial = new DialGauge(&window);
    dial->setGeometry(0, 0, 127, 127);
    auto* bar = new BarGauge(Qt::Horizontal, &window);
    bar->setGeometry(0, 130, 280, 55);
    auto* display = new NumericDisplay(&window);
    display->setGeometry(0, 190, 70, 20);
    display->setPrecision(0);
    for (GaugeBase* g : {static_cast<GaugeBase*>(dial), static_cast<GaugeBase*>(bar)}) {
        g->setPositionMin(140);
        g->setPositionMax(300);
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    struct Step {
        double to;
        bool repaints;
    };
    const Step steps[] = {{200, true}, {200.001, false}, {230, true}, {200, true}, {199.999, false}};
    for (GaugeBase* g : {static_cast<GaugeBase*>(dial), static_cast<GaugeBase*>(bar)}) {
        SCOPED_TRACE(g->metaObject()->className());
        QCoreApplication::processEvents();
        const int pictures = g->pointerRenders();
        for (const Step& s : steps) {
            PaintCount count(*g);
            g->setPosition(s.to);
            QCoreApplication::processEvents();
            EXPECT_EQ(count.paints, s.repaints ? 1 : 0) << s.to;
            const QRect moved = count.area.boundingRect();
            EXPECT_LT(moved.width() * moved.height(), g->width() * g->height() / 2) << s.to;
        }
        EXPECT_EQ(g->pointerRenders(), pictures + 2);  // 200 and 230
    }
    display->setValue(200);
    QCoreApplication::processEvents();
    for (double v : {200.2, 199.7, 201.0}) {  // shows 200, 200, 201
        PaintCount count(*display);
        display->setValue(v);
        QCoreApplication::processEvents();
        EXPECT_EQ(count.paints, v > 200.5 ? 1 : 0) << v;
    }
}

// Within a period the changes wait for one pass: every place asked for is repainted then
// (a pointer's old places too), a text shown is the last one, a widget gone meanwhile is skipped.
TEST_F(Widgets, PacedRepaintsWaitForOnePassAndLoseNoPlace) {
    RepaintPace& pace = RepaintPace::Shared();
    pace.setPeriod(3600 * 1000);  // no pass of its own while the test runs
    QWidget window;
    window.resize(200, 100);
    auto* lamp = new TextField(&window);
    lamp->setGeometry(0, 0, 100, 100);
    auto* gone = new TextField(&window);
    gone->setGeometry(100, 0, 100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.repaint();  // no first paint still to come
    QCoreApplication::processEvents();
    PaintCount count(*lamp);
    pace.update(lamp, QRect(0, 0, 10, 10));  // the first of a period: at once
    EXPECT_TRUE(QTest::qWaitFor([&] { return count.paints == 1; }));  // a platform may hold it a little
    QString shown;
    pace.update(lamp, QRect(50, 50, 10, 10));
    pace.update(lamp, QRect(80, 80, 10, 10));
    pace.show(lamp, [&] { shown = QStringLiteral("first"); });
    pace.show(lamp, [&] { shown = QStringLiteral("last"); });
    pace.update(gone);
    delete gone;
    QTest::qWait(50);
    EXPECT_TRUE(count.paints == 1 && shown.isEmpty());
    pace.setPeriod(0);  // hands on what was held
    EXPECT_TRUE(QTest::qWaitFor([&] { return count.paints == 2; }));
    EXPECT_TRUE(count.area.contains(QRect(50, 50, 10, 10)) && count.area.contains(QRect(80, 80, 10, 10)));
    EXPECT_EQ(shown, QStringLiteral("last"));
}

// A counter's repaint draws no text anew once its caption and digits are kept.
TEST_F(Widgets, StatusPanelDrawsACounterFromKeptPieces) {
    StatusPanel panel;
    panel.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Wide enough for the whole text in whatever font the platform gives (wine's offscreen one
    // is wider than the window's).
    panel.resize(QFontMetrics(panel.font()).horizontalAdvance(QStringLiteral("Пакетов принято: 000")) + 20, 17);
    QImage first;
    for (int n = 1; n <= 120; ++n) {
        panel.setText(QStringLiteral("Пакетов принято: %1").arg(n));
        const QImage img = Render(panel);
        if (n == 1) first = img;
        EXPECT_EQ(n == 1, img == first) << n;
    }
    EXPECT_EQ(panel.piecesDrawn(), 11);  // the caption and ten digits
    EXPECT_EQ(panel.text(), QStringLiteral("Пакетов принято: 120"));
    EXPECT_GT(CountColour(first, panel.palette().color(QPalette::WindowText)), 10);
}

// ---- strip chart -------------------------------------------------------------------

constexpr double kT0 = 1.7e9;

class Chart : public Widgets {
  protected:
    void SetUp() override {
        chart.resize(787, 480);
        chart.setTitle(QStringLiteral("Временные диаграммы"));
        chart.setGridYAxisName(QStringLiteral("<All>"));
        chart.setDialogs(&dialogs);
        chart.setClock([] { return kT0; });
    }
    ScriptedDialogs dialogs;
    StripChart chart;
    QTemporaryDir dir;
};

TEST_F(Chart, ScrollsWithTheNewestPointUnlessPaused) {
    for (int i = 0; i < 300; ++i) chart.addPoint(7, kT0 + i, 0);
    EXPECT_DOUBLE_EQ(chart.visibleWindow().max, kT0 + 299);
    EXPECT_DOUBLE_EQ(chart.visibleWindow().min, kT0 + 119);

    chart.pauseButton()->click();
    EXPECT_TRUE(chart.paused());
    for (int i = 300; i < 400; ++i) chart.addPoint(7, kT0 + i, 0);
    EXPECT_DOUBLE_EQ(chart.visibleWindow().max, kT0 + 299);
    EXPECT_EQ(chart.model().Series(7).size(), 400u);  // nothing is lost while paused

    chart.pauseButton()->click();
    EXPECT_FALSE(chart.paused());
    EXPECT_DOUBLE_EQ(chart.visibleWindow().max, kT0 + 399);
    // Before any point the window ends at the clock.
    StripChart empty;
    empty.setClock([] { return kT0 + 5; });
    EXPECT_DOUBLE_EQ(empty.visibleWindow().max, kT0 + 5);
}

TEST_F(Chart, TracesSitInTheBandOfTheirAxis) {
    // WORK_MODE only: its colour appears in the bottom band and nowhere above it.
    for (int i = 0; i < 200; ++i) chart.addPoint(7, kT0 + i, i % 20);
    const QRect plot = chart.plotRect();
    const QColor workMode(255, 128, 64);
    const int bottomBandTop = plot.bottom() - static_cast<int>(0.2708 * plot.height());
    QImage img = Render(chart);
    EXPECT_GT(CountColour(img, workMode,
                          QRect(plot.left(), bottomBandTop, plot.width(), plot.bottom() - bottomBandTop)),
              100);
    EXPECT_EQ(CountColour(img, workMode,
                          QRect(plot.left(), plot.top(), plot.width(), bottomBandTop - plot.top() - 3)),
              0);

    // A temperature below the design range widens the middle axis: still inside its band.
    const QColor ntc(255, 128, 255);
    for (int i = 0; i < 200; ++i) chart.addPoint(4, kT0 + i, i < 100 ? -30 : 20);
    img = Render(chart);
    const int middleTop = plot.bottom() - static_cast<int>(0.6292 * plot.height());
    EXPECT_GT(CountColour(img, ntc, QRect(plot.left(), middleTop, plot.width(), bottomBandTop - middleTop)),
              100);
    EXPECT_EQ(
        CountColour(img, ntc,
                    QRect(plot.left(), bottomBandTop + 3, plot.width(), plot.bottom() - bottomBandTop - 3)),
        0);
    EXPECT_EQ(chart.model().YAxisRange(1, chart.visibleWindow()).min, -30);
}

TEST(ChartColours, ContrastRatioFollowsRelativeLuminance) {
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::white, Qt::black), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(QColor(0, 0, 255), QColor(0, 0, 255)), 1.0);
    EXPECT_NEAR(ContrastRatio(QColor(0, 0, 255), Qt::black), 2.44, 0.01);
    EXPECT_NEAR(ContrastRatio(QColor(255, 255, 0), Qt::black), 19.56, 0.01);
    EXPECT_NEAR(ContrastRatio(QColor(128, 128, 128), Qt::white), 3.95, 0.01);
}

// Every channel keeps its colour and reads against what it is drawn on: the plot background,
// or, for a colour too dark for it, a light outline that itself stands out from the plot.
TEST(ChartColours, EveryChannelReadsOnThePlot) {
    const QColor background = StripChart::plotBackground();
    EXPECT_EQ(StripChart::traceColour(3), QColor(0, 0, 255));  // "Фаза ГУ" is drawn in pure blue
    EXPECT_EQ(StripChart::traceColour(2), QColor(0, 255, 0));
    EXPECT_EQ(StripChart::traceColour(7), QColor(255, 128, 64));
    for (int c = 0; c < kChartChannelCount; ++c) {
        const QColor colour = StripChart::traceColour(c);
        const QColor outline = StripChart::traceOutline(c);
        if (!outline.isValid()) {
            EXPECT_GE(ContrastRatio(colour, background), StripChart::kMinContrast) << c;
            continue;
        }
        EXPECT_GE(ContrastRatio(colour, outline), StripChart::kMinContrast) << c;
        EXPECT_GE(ContrastRatio(outline, background), StripChart::kMinContrast) << c;
    }
    EXPECT_TRUE(StripChart::traceOutline(3).isValid());
    EXPECT_FALSE(StripChart::traceOutline(1).isValid());  // yellow needs none
}

TEST_F(Chart, DarkTraceIsDrawnOnItsOutline) {
    for (int i = 0; i < 150; ++i) chart.addPoint(3, kT0 + i, 100 + i);
    const QImage img = Render(chart);
    const QRect plot = chart.plotRect().adjusted(2, 2, -2, -2);
    const QColor blue(0, 0, 255), outline = StripChart::traceOutline(3);
    int blueNextToOutline = 0, blueOnBackground = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x) {
            if (img.pixelColor(x, y) != blue) continue;
            bool nextToOutline = false, nextToBackground = false;
            for (QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                const QColor n = img.pixelColor(x + d.x(), y + d.y());
                nextToOutline = nextToOutline || n == outline;
                nextToBackground = nextToBackground || n == StripChart::plotBackground();
            }
            blueNextToOutline += nextToOutline;
            blueOnBackground += nextToBackground;
        }
    EXPECT_GT(blueNextToOutline, 100);
    EXPECT_EQ(blueOnBackground, 0);
}

// Each band shows its bottom and top value (the middle band -20 and 100, the bottom band 0
// and 10 at their design ranges), and no two labels of the axis column overlap.
TEST_F(Chart, EveryBandLabelsItsBottomAndTopValue) {
    auto check = [&](const char* when, std::vector<std::pair<double, double>> ends) {
        const QList<StripChart::AxisLabel> labels = chart.yAxisLabels();
        for (int a = 0; a < kChartYAxisCount; ++a) {
            const QRect plot = chart.plotRect();
            const double bandTop = plot.bottom() - kChartYAxes[static_cast<std::size_t>(a)].bandHigh * plot.height();
            const double bandBottom = plot.bottom() - kChartYAxes[static_cast<std::size_t>(a)].bandLow * plot.height();
            bool low = false, high = false;
            for (const auto& l : labels) {
                if (l.axis != a) continue;
                low = low || l.value == ends[static_cast<std::size_t>(a)].first;
                high = high || l.value == ends[static_cast<std::size_t>(a)].second;
                EXPECT_GE(l.rect.top(), bandTop) << when << " axis " << a << " " << l.text.toStdString();
                EXPECT_LE(l.rect.bottom(), bandBottom) << when << " axis " << a << " " << l.text.toStdString();
            }
            EXPECT_TRUE(low) << when << " axis " << a;
            EXPECT_TRUE(high) << when << " axis " << a;
        }
        for (qsizetype i = 0; i < labels.size(); ++i)
            for (qsizetype k = i + 1; k < labels.size(); ++k)
                EXPECT_FALSE(labels[i].rect.intersects(labels[k].rect))
                    << when << " " << labels[i].text.toStdString() << " / " << labels[k].text.toStdString();
    };
    check("design ranges", {{0, 10}, {-20, 100}, {0, 300}});
    for (const auto& l : chart.yAxisLabels())
        if (l.axis == 1 && l.value == 100) {
            EXPECT_EQ(l.text, QStringLiteral("100"));
        }
    // Ranges widened by the data: the new ends are labelled.
    chart.addPoint(7, kT0, 12);
    chart.addPoint(4, kT0, -31.5);
    chart.addPoint(0, kT0, -5);  // the top axis follows the data at its lower end only
    check("widened", {{0, 12}, {-31.5, 100}, {-5, 300}});
    // A small chart still shows every band's ends.
    chart.resize(400, 220);
    check("small", {{0, 12}, {-31.5, 100}, {-5, 300}});
}

TEST_F(Chart, LegendListsEveryChannelWithItsNewestValue) {
    chart.addPoint(0, kT0, 221);
    chart.addPoint(5, kT0, 13.5);
    const QStringList legend = chart.legendTexts();
    ASSERT_EQ(legend.size(), 8);
    EXPECT_EQ(legend[0], QStringLiteral("Фаза А: 221"));
    EXPECT_EQ(legend[5], QStringLiteral("Напряжение ГУ: 13.5"));
    EXPECT_EQ(legend[6], QStringLiteral("START_MODE: —"));
}

TEST_F(Chart, ExportsEveryPointAsCsv) {
    for (int i = 0; i < 500; ++i) chart.addPoint(i % 8, kT0 + i, i);
    const QString path = dir.filePath(QStringLiteral("points"));
    dialogs.fileAnswers.push_back(path.toStdString());
    EXPECT_TRUE(chart.exportCsvAs());
    QFile f(path + QStringLiteral(".csv"));  // the extension is added when missing
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 502);  // header, 500 points, empty after the last newline
    EXPECT_EQ(lines[0], QByteArray("time,channel,value"));
    EXPECT_TRUE(lines[1].endsWith(",Phase A,0"));
    EXPECT_TRUE(lines[500].endsWith(",Phase GU,499"));
    EXPECT_TRUE(dialogs.boxes.empty());

    // Cancelled: nothing written, nothing said.
    EXPECT_FALSE(chart.exportCsvAs());
    EXPECT_TRUE(dialogs.boxes.empty());
    // A folder that does not exist: reported, not claimed as saved.
    dialogs.fileAnswers.push_back(dir.filePath(QStringLiteral("no/such/folder/x.csv")).toStdString());
    EXPECT_FALSE(chart.exportCsvAs());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, kCaptionErrorRu);
}

TEST_F(Chart, SavesThePictureAsPng) {
    for (int i = 0; i < 100; ++i) chart.addPoint(3, kT0 + i, 220);
    const QString path = dir.filePath(QStringLiteral("chart.png"));
    dialogs.fileAnswers.push_back(path.toStdString());
    EXPECT_TRUE(chart.saveImageAs());
    QImage img(path);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), chart.size());
    EXPECT_GT(CountColour(img.convertToFormat(QImage::Format_RGB32), QColor(0, 0, 255)), 100);

    dialogs.fileAnswers.push_back(dir.filePath(QStringLiteral("no/such/folder/x.png")).toStdString());
    EXPECT_FALSE(chart.saveImageAs());
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

}  // namespace
}  // namespace lum
