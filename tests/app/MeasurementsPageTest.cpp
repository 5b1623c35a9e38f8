#include <gtest/gtest.h>

#include <QFile>
#include <QFontDatabase>
#include <algorithm>
#include <cmath>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <stdexcept>

#include "app/DesignFont.h"
#include "app/FlagLamps.h"
#include "app/logic/LayoutRules.h"
#include "app/TelemetryView.h"
#include "app/Unit1.h"
#include "tests/app/QtTestApp.h"
#include "tests/telemetry/StatusFrame.h"

namespace lum {
namespace {

using test::StatusFrame;

class MeasurementsPage : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApp();
        form = std::make_unique<TForm1>(dialogs);
    }
    void Show(const StatusFrame& f) { form->DecodeStatusRecord(f.Bytes()); }
    std::vector<NumericDisplay*> Displays() const {
        return {form->Measurements->iDigital_A,
                form->Measurements->iDigital_B,
                form->Measurements->iDigital_C,
                form->Measurements->iDigital_GU,
                form->Measurements->iDigital_ACC,
                form->Measurements->iDigital_UPS,
                form->Measurements->iDigital_SignalStrength,
                form->Measurements->iDigital_Temperature,
                form->Measurements->iDigital_Temperature2,
                form->Measurements->iDigital_Temperature3,
                form->Measurements->iDigital_Temperature4};
    }
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
};

TEST_F(MeasurementsPage, StaticCaptionsAndDisplayUnits) {
    // "Фаза А" and "Фаза С" end in Cyrillic letters, "Фаза B" in a Latin one.
    EXPECT_EQ(form->Measurements->Label1->text().toUtf8(), QByteArray("Фаза \xD0\x90"));
    EXPECT_EQ(form->Measurements->Label2->text().toUtf8(), QByteArray("Фаза B"));
    EXPECT_EQ(form->Measurements->Label3->text().toUtf8(), QByteArray("Фаза \xD0\xA1"));
    const std::vector<std::pair<QLabel*, const char*>> captions = {
        {form->Measurements->Label4, "Фаза ГУ"},
        {form->Measurements->Label5, "Напряжение АКБ"},
        {form->Measurements->Label6, "Счетчик моточасов"},
        {form->Measurements->Label7, "До проведения ТО"},
        {form->Measurements->Label18, "Системное время"},
        {form->Measurements->Label8, "Уровень GSM сигнала"},
        {form->Measurements->Label9, "Резистрация в сети"},
        {form->Measurements->Label10, "Режим работы устройства"},
        {form->Measurements->Label11, "Датчики температуры"},
        {form->Measurements->Label17, "Напряжение ИБП"},
    };
    for (const auto& [label, text] : captions) EXPECT_EQ(label->text(), QString::fromUtf8(text));
    EXPECT_EQ(form->Measurements->iDigital_A->unitsText(), QStringLiteral("В"));
    EXPECT_EQ(form->Measurements->iDigital_UPS->unitsText(), QStringLiteral(" В"));
    EXPECT_EQ(form->Measurements->iDigital_SignalStrength->unitsText(), QStringLiteral("дБм"));
    EXPECT_EQ(form->Measurements->iDigital_Temperature3->unitsText(), QStringLiteral(" C"));
    EXPECT_EQ(form->Measurements->iDigital_GU->precision(), 0);
    // Scales and bands as designed.
    EXPECT_EQ(form->Measurements->iAnalog_UPS->positionMin(), 16);
    EXPECT_EQ(form->Measurements->iAnalog_UPS->positionMax(), 32);
    EXPECT_EQ(form->Measurements->iAnalog_SignalStrength->sectionEnd2(), -85);
    EXPECT_EQ(form->Measurements->iAnalog_SignalStrength->sectionColor(3), QColor(0, 128, 0));
    EXPECT_EQ(form->Measurements->iAnalog_Temperature->sectionColor(1), QColor(255, 0, 0));
}

TEST_F(MeasurementsPage, FirstRecordLiftsTheErrorStateAndShowsEveryValue) {
    for (NumericDisplay* d : Displays()) EXPECT_EQ(d->displayText(), QStringLiteral("---"));
    EXPECT_TRUE(form->Measurements->iLabel_Status->text().isEmpty());

    StatusFrame f;
    f.Mode(2).State(1).Timer(3725).FlagsB(0x81);
    f.Set(8, 180).Set(9, 0).Set(10, 50).Set(11, 170);
    f.Set16(15, 125).Set16(17, 272).Set32(21, 12345).Set16(25, 59);
    f.Set(27, 0x23).Set(28, 0x59).Set(29, 0x07).Set(30, 200).Set(31, 5);
    f.Set(32, 0xF6).Set(33, 0xE2).Set(34, 25).Set(35, 0);
    Show(f);

    EXPECT_EQ(form->Measurements->iDigital_GU->displayText(), QStringLiteral("230В"));
    EXPECT_EQ(form->Measurements->iDigital_A->displayText(), QStringLiteral("0В"));
    EXPECT_EQ(form->Measurements->iAnalog_A->position(), 0);  // below the 140-300 scale, passed on as it is
    EXPECT_EQ(form->Measurements->iDigital_B->displayText(), QStringLiteral("100В"));
    EXPECT_EQ(form->Measurements->iAnalog_C->position(), 220);
    EXPECT_EQ(form->Measurements->iDigital_ACC->displayText(), QStringLiteral("12.5В"));
    EXPECT_EQ(form->Measurements->iAnalog_ACC->position(), 12.5);
    EXPECT_EQ(form->Measurements->iDigital_UPS->displayText(), QStringLiteral("27.2 В"));
    EXPECT_EQ(form->Measurements->iEdit_Motoclock->displayText(), QStringLiteral("205ч 45м"));
    EXPECT_EQ(form->Measurements->iEdit_TO->displayText(), QStringLiteral("0ч 59м"));
    EXPECT_EQ(form->Measurements->iEdit_Time->displayText(), QStringLiteral("23:59:07"));
    EXPECT_EQ(form->Measurements->iDigital_SignalStrength->displayText(), QStringLiteral("-113дБм"));
    EXPECT_EQ(form->Measurements->iAnalog_SignalStrength->position(), -113);
    EXPECT_EQ(form->Measurements->iLabel_Carrier->text(), QStringLiteral("Зарегистрирован\n\rв роуминге"));
    EXPECT_EQ(form->Measurements->iLabel_Status->text(), QStringLiteral("Пропадание сети\n\r01:02:05"));
    EXPECT_EQ(form->Measurements->iDigital_Temperature->displayText(), QStringLiteral("-10 C"));
    EXPECT_EQ(form->Measurements->iDigital_Temperature2->displayText(), QStringLiteral("-30 C"));
    EXPECT_EQ(form->Measurements->iAnalog_Temperature2->position(), -30);  // below its -20..40 scale
    EXPECT_EQ(form->Measurements->iDigital_Temperature4->displayText(), QStringLiteral("0 C"));
    for (NumericDisplay* d : Displays()) EXPECT_FALSE(d->errorActive());

    // FlagsB 0x81: "Период ТО" and "Термодатчик" lit, the other six of that byte out.
    EXPECT_TRUE(form->Measurements->iLed_TO_FLAG->active());
    EXPECT_TRUE(form->Measurements->iLed_THERMO_FLAG->active());
    for (Lamp* l : {form->Measurements->iLed_ACC_VOLTAGE_CONTROL_FLAG, form->Measurements->iLed_UPS_VOLTAGE_CONTROL_FLAG,
                    form->Measurements->iLed_WORK_SLEEP_FLAG, form->Measurements->iLed_TEST_START_FLAG, form->Measurements->iLed_SHORT_FLAG,
                    form->Measurements->iLed_GSM_ACTIVITY_FLAG, form->Measurements->iLed_GPRS_FLAG})
        EXPECT_FALSE(l->active()) << l->objectName().toStdString();
    Show(StatusFrame().FlagsA(0x11));
    EXPECT_TRUE(form->Measurements->iLed_THREE_LINE_FLAG->active());
    EXPECT_TRUE(form->Measurements->iLed_GPRS_FLAG->active());
    EXPECT_FALSE(form->Measurements->iLed_TO_FLAG->active());
}

TEST_F(MeasurementsPage, EveryFlagLampIsTheNamedControlWithItsCaption) {
    MeasurementsView view(*form);
    for (int i = 0; i < kFlagLampCount; ++i) {
        const char* name = kFlagLampControls[i].objectName;
        ASSERT_NE(view.FlagLamps()[i], nullptr) << name;
        EXPECT_EQ(view.FlagLamps()[i], form->findChild<Lamp*>(QString::fromLatin1(name))) << name;
        EXPECT_EQ(view.FlagLamps()[i]->caption(), QString::fromUtf8(kFlagLamps[i].caption));
    }
}

TEST_F(MeasurementsPage, ModeSwitchesFollowTheRecordWithoutClicking) {
    QSignalSpy spy4(form->Service->iSwitchLed4, &SwitchLamp::clicked);
    QSignalSpy spy5(form->Service->iSwitchLed5, &SwitchLamp::clicked);
    Show(StatusFrame().Mode(2).FlagsA(0x20));
    EXPECT_FALSE(form->Service->iSwitchLed4->active());
    EXPECT_TRUE(form->Service->iSwitchLed5->active());
    EXPECT_TRUE(form->Measurements->iLed_Semiauto->active());
    EXPECT_FALSE(form->Measurements->iLed_Auto->active());
    Show(StatusFrame().Mode(2).FlagsA(0x00));
    EXPECT_TRUE(form->Service->iSwitchLed4->active());
    EXPECT_FALSE(form->Service->iSwitchLed5->active());
    EXPECT_EQ(spy5.count(), 0);
    EXPECT_EQ(spy4.count(), 0);
    Show(StatusFrame().Mode(1));
    EXPECT_TRUE(form->Measurements->iLed_Manual->active());
    EXPECT_TRUE(form->Service->iSwitchLed4->active());  // manual mode leaves the switches
    EXPECT_EQ(form->Measurements->iLabel_Status->text(), QStringLiteral("Ручной режим"));
}

TEST_F(MeasurementsPage, ReportedModelSwitchesTheTreeAndSelectorQuietly) {
    const int startNodes = form->Parameters->TreeList1->allNodes().size();
    QSignalSpy changed(form->ComboBox_DeviceVersions, &QComboBox::currentIndexChanged);
    Show(StatusFrame().Model(200));
    EXPECT_EQ(form->ComboBox_DeviceVersions->currentIndex(), -1);
    Show(StatusFrame().Model(201));
    EXPECT_EQ(form->CurrentModelCode, 201);
    EXPECT_EQ(form->ComboBox_DeviceVersions->currentIndex(), 1);
    EXPECT_EQ(changed.count(), 0);  // the change handler did not run
    const int dieselNodes = form->Parameters->TreeList1->allNodes().size();
    EXPECT_NE(dieselNodes, startNodes);
    EXPECT_TRUE(form->PageVisible(form->TabSheet5));
    // A user's value in the tree survives further records of the same model.
    form->Parameters->TreeList1->topLevelItem(0)->setText(1, QStringLiteral("edited"));
    Show(StatusFrame().Model(201));
    Show(StatusFrame().Model(7));
    EXPECT_EQ(form->Parameters->TreeList1->topLevelItem(0)->text(1), QStringLiteral("edited"));
    EXPECT_EQ(form->CurrentModelCode, 201);
}

TEST_F(MeasurementsPage, GeneratorPointerBlinksUntilRunning) {
    Show(StatusFrame().Mode(2).State(22));
    EXPECT_TRUE(form->Measurements->GuPointerBlink);
    form->Timer3Timer();
    EXPECT_EQ(form->Measurements->iAnalog_GU->pointerColor(), QColor(255, 255, 0));
    Show(StatusFrame().Mode(2).State(1));
    form->Timer3Timer();
    EXPECT_EQ(form->Measurements->iAnalog_GU->pointerColor(), QColor(255, 0, 0));
    Show(StatusFrame().Mode(2).State(5));
    EXPECT_FALSE(form->Measurements->GuPointerBlink);
    EXPECT_EQ(form->Measurements->iAnalog_GU->pointerColor(), QColor(0, 0, 255));
    form->Timer3Timer();
    EXPECT_EQ(form->Measurements->iAnalog_GU->pointerColor(), QColor(0, 0, 255));
}

TEST_F(MeasurementsPage, ShortRecordLeavesTheErrorState) {
    auto bytes = StatusFrame().Model(201).Bytes();
    bytes.resize(30);
    form->DecodeStatusRecord(bytes);
    EXPECT_EQ(form->Measurements->iDigital_A->displayText(), QStringLiteral("---"));
    EXPECT_EQ(form->CurrentModelCode, 200);
    EXPECT_EQ(form->Diagrams->iPlot1->model().TotalPoints(), 0u);
}

TEST_F(MeasurementsPage, EachRecordAddsItsPointsToTheDiagrams) {
    Show(StatusFrame().Mode(2).State(3).Timer(0x0104).Set(9, 170).Set16(15, 137));
    Show(StatusFrame().Mode(2).State(4).Set(9, 171));
    const ChartModel& m = form->Diagrams->iPlot1->model();
    EXPECT_EQ(m.Series(static_cast<int>(ChartChannel::PhaseA)).size(), 2u);
    EXPECT_EQ(m.Series(static_cast<int>(ChartChannel::START_MODE)).size(), 1u);
    EXPECT_EQ(m.Series(static_cast<int>(ChartChannel::START_MODE)).Back().value, 4);
    EXPECT_EQ(m.Series(static_cast<int>(ChartChannel::WORK_MODE)).Back().value, 4);
    EXPECT_EQ(m.Series(static_cast<int>(ChartChannel::PhaseA)).Back().value, 221);
    EXPECT_FLOAT_EQ(m.Series(static_cast<int>(ChartChannel::VCC_VOLTAGE)).Front().value, 13.7);
    EXPECT_EQ(form->Diagrams->iPlot1->title(), QStringLiteral("Временные диаграммы"));
    EXPECT_EQ(form->Diagrams->iPlot1->gridYAxisName(), QStringLiteral("<All>"));
}

TEST_F(MeasurementsPage, DiagramToolbarAsksThroughTheProgramsDialogs) {
    Show(StatusFrame().Mode(2).State(0).Set(9, 170));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("diagram.csv"));
    dialogs.fileAnswers.push_back(path.toStdString());
    form->Diagrams->iPlot1->exportButton()->click();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray csv = f.readAll();
    EXPECT_TRUE(csv.startsWith("time,channel,value\n"));
    EXPECT_EQ(csv.count('\n'), 1 + 7);  // one record without a start step: seven points
    EXPECT_TRUE(csv.contains(",Phase A,220\n"));
    form->Diagrams->iPlot1->saveButton()->click();  // no answer queued: cancelled, nothing said
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(MeasurementsPage, EveryControlTheLayoutPlacesIsOneControlOfTheWindow) {
    for (const std::string& name : layout::LayoutControlNames()) {
        if (name == "PageControl1") continue;  // the layout takes the member itself
        const QString n = QString::fromStdString(name);
        EXPECT_EQ(form->findChildren<QWidget*>(n).size(), 1) << name;
    }
    // Placed from the window's own controls, no rule is skipped.
    EXPECT_NO_THROW(form->FormConstrainedResize());
}

TEST_F(MeasurementsPage, LayoutRefusesAWindowThatLacksAControl) {
    form->Measurements->iAnalog_B->setObjectName(QStringLiteral("renamed"));
    try {
        form->FormConstrainedResize();
        ADD_FAILURE() << "a missing control was skipped";
    } catch (const std::logic_error& e) {
        EXPECT_NE(std::string(e.what()).find("iAnalog_B"), std::string::npos) << e.what();
    }
}

TEST_F(MeasurementsPage, LayoutRulesArePlacedOnTheControls) {
    form->FormConstrainedResize();
    const QSize outer = form->OuterSizeForLayout();
    if (form->frameGeometry().size() == form->size()) {
        // No window manager here: a caption and borders 38 pixels high around 799 x 572.
        EXPECT_EQ(outer, QSize(799, 610));
    }
    // The page control ends at the status bar's top, whatever frame is taken.
    const int W = outer.width(), H = 572 - 19;
    EXPECT_EQ(form->StatusBar1->geometry(), QRect(0, 553, 799, 19));
    EXPECT_EQ(form->PageControl1->geometry(), QRect(0, 0, W, H));
    EXPECT_EQ(form->Measurements->iAnalog_GU->width(), layout::DivRoundEven(32LL * std::min(W, H), 100));
    EXPECT_EQ(form->Measurements->iAnalog_GU->height(), form->Measurements->iAnalog_GU->width());
    EXPECT_EQ(form->Measurements->iAnalog_GU->hubSize(), layout::DivRoundEven(2LL * W, 100));
    EXPECT_EQ(form->Measurements->iAnalog_ACC->tickMajorLength(), layout::DivRoundEven(2LL * W, 100));
    EXPECT_EQ(form->Measurements->iAnalog_ACC->tickMinorLength(), layout::DivRoundEven(form->Measurements->iAnalog_ACC->tickMajorLength(), 2));
    EXPECT_EQ(form->Measurements->iLed_GPRS_FLAG->x(),
              layout::DivRoundEven(55LL * W, 100) - layout::DivRoundEven(form->Measurements->iLed_GPRS_FLAG->width(), 2));
    EXPECT_EQ(form->Parameters->Button4->x(), W - form->Parameters->Button4->width() - 14);
    // Once placed, placing again changes nothing.
    const QRect dial = form->Measurements->iAnalog_A->geometry();
    const QRect lamp = form->Measurements->iLed_Manual->geometry();
    form->FormConstrainedResize();
    EXPECT_EQ(form->Measurements->iAnalog_A->geometry(), dial);
    EXPECT_EQ(form->Measurements->iLed_Manual->geometry(), lamp);
}

// Everything of the measurements page lies inside the page, above the status bar, and no two
// of its controls overlap (the captions, set in the design font, clear every gauge).
TEST_F(MeasurementsPage, ControlsStayInsideThePageWithoutOverlapping) {
    const DesignFontRegistration fonts = RegisterDesignFont();
    form = std::make_unique<TForm1>(dialogs);  // laid out in the design font
    form->show();
    const QRect page(form->TabSheet1->mapTo(form.get(), QPoint(0, 0)), form->TabSheet1->size());
    EXPECT_LE(page.bottom(), form->StatusBar1->y() - 1);
    EXPECT_EQ(form->StatusBar1->y() + form->StatusBar1->height(), form->height());
    EXPECT_TRUE(form->StatusBar1->autoFillBackground());

    std::vector<QWidget*> controls;
    for (QWidget* w : form->TabSheet1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisibleTo(form->TabSheet1)) controls.push_back(w);
    ASSERT_GT(controls.size(), 50u);
    auto name = [](const QWidget* w) { return w->objectName().toStdString(); };
    for (QWidget* w : controls) EXPECT_TRUE(form->TabSheet1->rect().contains(w->geometry())) << name(w);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t k = i + 1; k < controls.size(); ++k) {
            QWidget* a = controls[i];
            QWidget* b = controls[k];
            auto* dial = qobject_cast<DialGauge*>(a) ? a : qobject_cast<DialGauge*>(b) ? b : nullptr;
            if (dial && !(qobject_cast<DialGauge*>(a) && qobject_cast<DialGauge*>(b))) {
                // A dial is a ring in its square (drawn out to half its side less a pixel): the
                // other control keeps off the ring, a caption a pixel clear of the square's circle.
                const QWidget* other = dial == a ? b : a;
                const double clear = qobject_cast<const QLabel*>(other) ? 1 : -1;
                const QRectF r = other->geometry();
                const QPointF c = QRectF(dial->geometry()).center();
                const double dx = std::max({r.left() - c.x(), 0.0, c.x() - r.right()});
                const double dy = std::max({r.top() - c.y(), 0.0, c.y() - r.bottom()});
                EXPECT_GE(std::hypot(dx, dy), dial->width() / 2.0 + clear) << name(dial) << " / " << name(other);
            } else {
                EXPECT_FALSE(a->geometry().intersects(b->geometry())) << name(a) << " / " << name(b);
            }
        }
    }
    for (int id : fonts.fontIds) QFontDatabase::removeApplicationFont(id);
}

TEST_F(MeasurementsPage, GaugePointersRestAtTheLowEndUntilTheFirstRecord) {
    for (GaugeBase* g : form->Measurements->MeasurementGauges()) {
        EXPECT_TRUE(g->errorActive()) << g->objectName().toStdString();
        EXPECT_EQ(g->drawnPosition(), g->positionMin()) << g->objectName().toStdString();
    }
    // The positions themselves are those of the error state: the GSM bar's 0 would read as
    // full signal, so it is not what is drawn.
    EXPECT_EQ(form->Measurements->iAnalog_SignalStrength->position(), 0);
    EXPECT_EQ(form->Measurements->iAnalog_Temperature3->position(), 10);

    StatusFrame f;
    f.Set(30, 20);  // signal quality 20: -73 dBm
    Show(f);
    for (GaugeBase* g : form->Measurements->MeasurementGauges()) EXPECT_FALSE(g->errorActive()) << g->objectName().toStdString();
    EXPECT_EQ(form->Measurements->iAnalog_SignalStrength->drawnPosition(), -73);
}

}  // namespace
}  // namespace lum
