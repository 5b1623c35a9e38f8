// The "Измерения" page: gauges, displays, text fields, text panels and lamps.
#include "app/PageMeasurements.h"

#include "app/DesignFont.h"
#include "app/FlagLamps.h"
#include "app/FormBuilders.h"
#include "telemetry/StatusPresenter.h"
#include "telemetry/StatusRecord.h"

namespace lum {

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);

DialGauge* MakeDial(QWidget* parent, const char* name, int x, int y, int size) {
    auto* g = Named(new DialGauge(parent), name);
    g->setGeometry(x, y, size, size);
    g->setPositionMin(140);
    g->setPositionMax(300);
    g->setSectionCount(3);
    g->setSectionEnd1(180);
    g->setSectionEnd2(260);
    g->setSectionColor(1, kRed);
    g->setSectionColor(2, kGreen);
    g->setPointerColor(kPointerBlue);
    return g;
}

BarGauge* MakeBar(QWidget* parent, const char* name, Qt::Orientation o, QRect geometry, double min,
                  double max) {
    auto* g = Named(new BarGauge(o, parent), name);
    g->setGeometry(geometry);
    g->setPositionMin(min);
    g->setPositionMax(max);
    g->setPointerColor(kPointerBlue);
    return g;
}

NumericDisplay* MakeDisplay(QWidget* parent, const char* name, int x, int y, int precision,
                            const QString& units) {
    auto* d = Named(new NumericDisplay(parent), name);
    // 20 high: placed 10 pixels below its gauge's centre line less half its height, the
    // display's top meets the gauge's bottom edge.
    d->setGeometry(x, y, 70, 20);
    if (precision >= 0) d->setPrecision(precision);
    d->setUnitsText(units);
    return d;
}

Lamp* MakeLamp(QWidget* parent, const char* name, const QString& caption, int x, int y) {
    auto* l = Named(new Lamp(caption, parent), name);
    l->setGeometry(x, y, 130, 18);
    return l;
}

}  // namespace

MeasurementsPage::MeasurementsPage(QWidget* sheet) : QObject(sheet) {
    BuildGauges(sheet);
    BuildTemperatures(sheet);
    BuildMiddleColumn(sheet);

    // Captions over the instruments in a bolder face.
    for (QLabel* caption : {Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9, Label10,
                            Label11, Label17, Label18}) {
        caption->setFont(CaptionFont(caption->font()));
        caption->adjustSize();
    }
}

void MeasurementsPage::BuildGauges(QWidget* p) {
    const QString volt = QStringLiteral("В");

    iAnalog_A = MakeDial(p, "iAnalog_A", 8, 100, 122);
    iAnalog_B = MakeDial(p, "iAnalog_B", 136, 100, 122);
    iAnalog_C = MakeDial(p, "iAnalog_C", 264, 100, 122);
    iAnalog_GU = MakeDial(p, "iAnalog_GU", 490, 50, 170);
    iDigital_A = MakeDisplay(p, "iDigital_A", 34, 226, 0, volt);
    iDigital_B = MakeDisplay(p, "iDigital_B", 162, 226, 0, volt);
    iDigital_C = MakeDisplay(p, "iDigital_C", 290, 226, 0, volt);
    iDigital_GU = MakeDisplay(p, "iDigital_GU", 540, 224, 0, volt);
    Label1 = MakeLabel(p, "Label1", QStringLiteral("Фаза А"), 50, 80);
    Label2 = MakeLabel(p, "Label2", QStringLiteral("Фаза B"), 178, 80);
    Label3 = MakeLabel(p, "Label3", QStringLiteral("Фаза С"), 306, 80);
    Label4 = MakeLabel(p, "Label4", QStringLiteral("Фаза ГУ"), 555, 30);

    iAnalog_ACC = MakeBar(p, "iAnalog_ACC", Qt::Vertical, {710, 40, 56, 180}, 6, 16);
    iAnalog_ACC->setTickMajorCount(6);
    iAnalog_ACC->setSectionCount(2);
    iAnalog_ACC->setSectionEnd1(8);
    iAnalog_ACC->setSectionColor(1, kRed);
    iAnalog_ACC->setSectionColor(2, kGreen);
    iDigital_ACC = MakeDisplay(p, "iDigital_ACC", 703, 226, -1, volt);
    Label5 = MakeLabel(p, "Label5", QStringLiteral("Напряжение АКБ"), 690, 20);

    iAnalog_UPS = MakeBar(p, "iAnalog_UPS", Qt::Horizontal, {50, 270, 280, 50}, 16, 32);
    iAnalog_UPS->setTickMajorCount(7);
    iAnalog_UPS->setTickMinorCount(5);
    iAnalog_UPS->setSectionCount(3);
    iAnalog_UPS->setSectionEnd1(19);
    iAnalog_UPS->setSectionEnd2(29);
    iAnalog_UPS->setSectionColor(1, kRed);
    iAnalog_UPS->setSectionColor(2, kGreen);
    iDigital_UPS = MakeDisplay(p, "iDigital_UPS", 155, 324, -1, QStringLiteral(" В"));
    Label17 = MakeLabel(p, "Label17", QStringLiteral("Напряжение ИБП"), 150, 254);

    iAnalog_SignalStrength =
        MakeBar(p, "iAnalog_SignalStrength", Qt::Horizontal, {50, 370, 280, 50}, -113, -51);
    iAnalog_SignalStrength->setSectionCount(3);
    iAnalog_SignalStrength->setSectionEnd1(-95);
    iAnalog_SignalStrength->setSectionEnd2(-85);
    iAnalog_SignalStrength->setSectionColor(1, kRed);
    iAnalog_SignalStrength->setSectionColor(3, kGreen);
    iDigital_SignalStrength = MakeDisplay(p, "iDigital_SignalStrength", 155, 424, 0, QStringLiteral("дБм"));
    Label8 = MakeLabel(p, "Label8", QStringLiteral("Уровень GSM сигнала"), 130, 354);

    iLabel_Carrier = Named(new TextPanel(p), "iLabel_Carrier");
    iLabel_Carrier->setGeometry(90, 466, 200, 40);
    Label9 = MakeLabel(p, "Label9", QStringLiteral("Резистрация в сети"), 135, 450);

}

void MeasurementsPage::BuildTemperatures(QWidget* p) {
    auto makeTemperature = [&](const char* name, int x, double min, double max, int majors, int sections) {
        auto* g = MakeBar(p, name, Qt::Vertical, {x, 290, 56, 180}, min, max);
        g->setTickMajorCount(majors);
        g->setTickMinorCount(5);
        g->setSectionCount(sections);
        g->setSectionEnd1(10);
        g->setSectionColor(2, kGreen);
        g->setSectionColor(3, kGreen);
        return g;
    };
    iAnalog_Temperature = makeTemperature("iAnalog_Temperature", 515, -40, 120, 9, 2);
    iAnalog_Temperature->setSectionColor(1, kRed);
    iAnalog_Temperature2 = makeTemperature("iAnalog_Temperature2", 580, -20, 40, 7, 1);
    iAnalog_Temperature3 = makeTemperature("iAnalog_Temperature3", 645, -20, 40, 7, 2);
    iAnalog_Temperature4 = makeTemperature("iAnalog_Temperature4", 710, -20, 40, 7, 2);
    for (BarGauge* g : {iAnalog_Temperature2, iAnalog_Temperature3, iAnalog_Temperature4}) g->setPosition(10);
    iDigital_Temperature = MakeDisplay(p, "iDigital_Temperature", 508, 474, 0, QStringLiteral(" C"));
    iDigital_Temperature2 = MakeDisplay(p, "iDigital_Temperature2", 573, 474, 0, QStringLiteral(" C"));
    iDigital_Temperature3 = MakeDisplay(p, "iDigital_Temperature3", 638, 474, 0, QStringLiteral(" C"));
    iDigital_Temperature4 = MakeDisplay(p, "iDigital_Temperature4", 703, 474, 0, QStringLiteral(" C"));
    Label11 = MakeLabel(p, "Label11", QStringLiteral("Датчики температуры"), 580, 272);

}

void MeasurementsPage::BuildMiddleColumn(QWidget* p) {
    // Middle column: counters, clock and the flag lamps. The fields are 90 wide so that they
    // clear the generator dial's ring.
    Label6 = MakeLabel(p, "Label6", QStringLiteral("Счетчик моточасов"), 390, 64);
    iEdit_Motoclock = Named(new TextField(p), "iEdit_Motoclock");
    iEdit_Motoclock->setGeometry(395, 79, 90, 20);
    iEdit_Motoclock->setText(QStringLiteral("12ч 13м"));
    Label7 = MakeLabel(p, "Label7", QStringLiteral("До проведения ТО"), 390, 106);
    iEdit_TO = Named(new TextField(p), "iEdit_TO");
    iEdit_TO->setGeometry(395, 121, 90, 20);
    iEdit_TO->setText(QStringLiteral("12ч 13м"));
    Label18 = MakeLabel(p, "Label18", QStringLiteral("Системное время"), 390, 148);
    iEdit_Time = Named(new TextField(p), "iEdit_Time");
    iEdit_Time->setGeometry(395, 163, 90, 20);
    iEdit_Time->setText(QStringLiteral("00:00:00"));

    // Thirteen lamps in the order of their flag bits, in the free column between the phase
    // dials and the generator dial, below both.
    // Members and names from the window's lamp table, captions from the flag table the
    // status record is decoded with.
    for (int i = 0; i < kFlagLampCount; ++i) {
        Lamp* l = MakeLamp(p, kFlagLampControls[i].objectName, QString::fromUtf8(kFlagLamps[i].caption), 390,
                           238 + 17 * i);
        l->resize(112, 16);
        this->*kFlagLampControls[i].member = l;
    }

    // Operating state and mode lamps.
    iLabel_Status = Named(new TextPanel(p), "iLabel_Status");
    iLabel_Status->setGeometry(40, 20, 200, 40);
    Label10 = MakeLabel(p, "Label10", QStringLiteral("Режим работы устройства"), 75, 4);
    iLed_Auto = MakeLamp(p, "iLed_Auto", QStringLiteral("Авто"), 290, 8);
    iLed_Semiauto = MakeLamp(p, "iLed_Semiauto", QStringLiteral("Полуавто"), 290, 30);
    iLed_Manual = MakeLamp(p, "iLed_Manual", QStringLiteral("Ручной"), 290, 52);
}

std::array<GaugeBase*, 11> MeasurementsPage::MeasurementGauges() const {
    return {iAnalog_A,   iAnalog_B,           iAnalog_C,            iAnalog_GU,           iAnalog_ACC,
            iAnalog_UPS, iAnalog_SignalStrength, iAnalog_Temperature, iAnalog_Temperature2, iAnalog_Temperature3,
            iAnalog_Temperature4};
}

void MeasurementsPage::SetIndicatorsError() {
    for (GaugeBase* g :
         std::initializer_list<GaugeBase*>{iAnalog_A, iAnalog_B, iAnalog_C, iAnalog_GU, iAnalog_ACC,
                                           iAnalog_SignalStrength, iAnalog_UPS, iAnalog_Temperature})
        g->setPosition(0);
    // Until the first record no gauge has a value: every pointer rests at its scale's low end
    // (position 0 would read as full signal on the GSM bar and as 0 °C on a thermometer).
    for (GaugeBase* g : MeasurementGauges()) g->setErrorActive(true);
    for (NumericDisplay* d : {iDigital_A, iDigital_B, iDigital_C, iDigital_GU, iDigital_ACC})
        d->setErrorActive(true);
    iEdit_Motoclock->setErrorActive(true);
    iEdit_TO->setErrorActive(true);
    iDigital_SignalStrength->setErrorActive(true);
    iLabel_Status->setText({});
    iLabel_Carrier->setText({});
    for (NumericDisplay* d : {iDigital_Temperature, iDigital_Temperature2, iDigital_Temperature3,
                              iDigital_Temperature4, iDigital_UPS})
        d->setErrorActive(true);
    iEdit_Time->setErrorActive(true);
}

void MeasurementsPage::ClearIndicatorsError() {
    for (NumericDisplay* d : {iDigital_A, iDigital_B, iDigital_C, iDigital_GU, iDigital_ACC,
                              iDigital_SignalStrength, iDigital_Temperature, iDigital_Temperature2,
                              iDigital_Temperature3, iDigital_Temperature4, iDigital_UPS})
        d->setErrorActive(false);
    for (TextField* f : {iEdit_Motoclock, iEdit_TO, iEdit_Time}) f->setErrorActive(false);
    for (GaugeBase* g : MeasurementGauges()) g->setErrorActive(false);
}

void MeasurementsPage::ApplyGaugeThresholds(const GaugeThresholds& t) {
    iAnalog_GU->setSectionEnd1(t.GuEnd1);
    iAnalog_GU->setSectionEnd2(t.GuEnd2);
    for (GaugeBase* g : {static_cast<GaugeBase*>(iAnalog_A), static_cast<GaugeBase*>(iAnalog_B),
                         static_cast<GaugeBase*>(iAnalog_C)}) {
        g->setSectionEnd1(t.MainsEnd1);
        g->setSectionEnd2(t.MainsEnd2);
    }
    iAnalog_Temperature->setSectionEnd1(t.TemperatureEnd1);
    iAnalog_ACC->setSectionEnd1(t.AccEnd1);
    iAnalog_UPS->setSectionEnd1(t.UpsEnd1);
    iAnalog_UPS->setSectionEnd2(t.UpsEnd2);
    if (t.UpsScale) {
        iAnalog_UPS->setPositionMin(t.UpsScale->Min);
        iAnalog_UPS->setPositionMax(t.UpsScale->Max);
    }
}

void MeasurementsPage::BlinkGuPointer() {
    const QColor now = iAnalog_GU->pointerColor();
    const Rgb current{static_cast<std::uint8_t>(now.red()), static_cast<std::uint8_t>(now.green()),
                      static_cast<std::uint8_t>(now.blue())};
    if (const auto next = BlinkTick(GuPointerBlink, current)) iAnalog_GU->setPointerColor(QColor(next->r, next->g, next->b));
}

}  // namespace lum
