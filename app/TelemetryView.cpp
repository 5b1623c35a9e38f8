#include "app/TelemetryView.h"

#include <QDateTime>
#include <QSignalBlocker>

#include "app/FlagLamps.h"
#include "app/PageDiagrams.h"
#include "app/PageMeasurements.h"
#include "app/PageParameters.h"
#include "app/PageService.h"
#include "app/Unit1.h"

namespace lum {

namespace {
QString FromUtf8(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
}  // namespace

MeasurementsView::MeasurementsView(TForm1& form) : page_(*form.Measurements), service_(*form.Service) {
    for (int i = 0; i < kFlagLampCount; ++i) flagLamps_[i] = page_.*kFlagLampControls[i].member;
}

void MeasurementsView::ClearIndicatorsError() {
    page_.ClearIndicatorsError();
}

void MeasurementsView::SetModeLamps(bool autoLit, bool semiautoLit, bool manualLit) {
    page_.iLed_Auto->setActive(autoLit);
    page_.iLed_Semiauto->setActive(semiautoLit);
    page_.iLed_Manual->setActive(manualLit);
}

void MeasurementsView::SetModeSwitches(bool autoOn, bool semiautoOn) {
    service_.SetModeSwitches(autoOn, semiautoOn);
}

void MeasurementsView::SetStatusText(const std::string& text) {
    page_.iLabel_Status->setText(FromUtf8(text));
}

void MeasurementsView::SetGuPointerColour(Rgb c) {
    page_.iAnalog_GU->setPointerColor(QColor(c.r, c.g, c.b));
}

void MeasurementsView::SetClockText(const std::string& text) {
    page_.iEdit_Time->setText(FromUtf8(text));
}

void MeasurementsView::SetVoltage(VoltageGauge gauge, double volts) {
    DialGauge* dial = nullptr;
    NumericDisplay* display = nullptr;
    switch (gauge) {
        case VoltageGauge::GU:
            dial = page_.iAnalog_GU, display = page_.iDigital_GU;
            break;
        case VoltageGauge::A:
            dial = page_.iAnalog_A, display = page_.iDigital_A;
            break;
        case VoltageGauge::B:
            dial = page_.iAnalog_B, display = page_.iDigital_B;
            break;
        case VoltageGauge::C:
            dial = page_.iAnalog_C, display = page_.iDigital_C;
            break;
    }
    dial->setPosition(volts);
    display->setValue(volts);
}

void MeasurementsView::SetBattery(double volts) {
    page_.iAnalog_ACC->setPosition(volts);
    page_.iDigital_ACC->setValue(volts);
}

void MeasurementsView::SetUps(double volts) {
    page_.iAnalog_UPS->setPosition(volts);
    page_.iDigital_UPS->setValue(volts);
}

void MeasurementsView::SetMotorHoursText(const std::string& text) {
    page_.iEdit_Motoclock->setText(FromUtf8(text));
}

void MeasurementsView::SetServiceText(const std::string& text) {
    page_.iEdit_TO->setText(FromUtf8(text));
}

void MeasurementsView::SetSignal(double dbm) {
    page_.iAnalog_SignalStrength->setPosition(dbm);
    page_.iDigital_SignalStrength->setValue(dbm);
}

void MeasurementsView::SetCarrierText(const std::string& text) {
    page_.iLabel_Carrier->setText(FromUtf8(text));
}

void MeasurementsView::SetTemperature(int sensor, double celsius) {
    BarGauge* const bars[] = {page_.iAnalog_Temperature, page_.iAnalog_Temperature2,
                              page_.iAnalog_Temperature3, page_.iAnalog_Temperature4};
    NumericDisplay* const displays[] = {page_.iDigital_Temperature, page_.iDigital_Temperature2,
                                        page_.iDigital_Temperature3, page_.iDigital_Temperature4};
    if (sensor < 0 || sensor > 3) return;
    bars[sensor]->setPosition(celsius);
    displays[sensor]->setValue(celsius);
}

void MeasurementsView::SetFlagLamp(FlagLamp lamp, bool lit) {
    flagLamps_[static_cast<int>(lamp)]->setActive(lit);
}

void DeviceCatalogView::LoadCatalogForModel(std::uint8_t modelCode) {
    form_.LoadCatalogForModel(modelCode);
}

void DeviceCatalogView::ShowJournalPage() {
    form_.SetPageVisible(form_.TabSheet5, true);
}

void DeviceCatalogView::SelectDeviceVersion(int index) { form_.ShowModelInSelector(index); }

bool DeviceCatalogView::TreeEdited() const { return form_.Parameters->TreeEdited(); }

void DeviceCatalogView::ReportOtherModel(std::optional<std::uint8_t> modelCode) {
    form_.ReportOtherModel(modelCode);
}

StripChartSink::StripChartSink(StripChart& chart, std::function<double()> now)
    : chart_(chart), now_(std::move(now)) {
    if (!now_) now_ = [] { return QDateTime::currentMSecsSinceEpoch() / 1000.0; };
}

void StripChartSink::AddPoint(ChartChannel channel, double value) {
    chart_.addPoint(static_cast<int>(channel), now_(), value);
}

TelemetryBinding::TelemetryBinding(TForm1& form)
    : view_(form),
      catalog_(form),
      chart_(*form.Diagrams->iPlot1),
      presenter_(view_, catalog_, chart_, form.CurrentModelCode, form.Measurements->GuPointerBlink) {}

}  // namespace lum
