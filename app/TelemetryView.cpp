#include "app/TelemetryView.h"

#include <QDateTime>
#include <QSignalBlocker>

#include "app/FlagLamps.h"
#include "app/Unit1.h"

namespace lum {

namespace {
QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
}  // namespace

MeasurementsView::MeasurementsView(TForm1& form) : form_(form) {
    for (int i = 0; i < kFlagLampCount; ++i) flagLamps_[i] = form.*kFlagLampControls[i].member;
}

void MeasurementsView::ClearIndicatorsError() {
    form_.ClearIndicatorsError();
}

void MeasurementsView::SetModeLamps(bool autoLit, bool semiautoLit, bool manualLit) {
    form_.iLed_Auto->setActive(autoLit);
    form_.iLed_Semiauto->setActive(semiautoLit);
    form_.iLed_Manual->setActive(manualLit);
}

void MeasurementsView::SetModeSwitches(bool autoOn, bool semiautoOn) {
    // setActive() does not run the switches' click handlers: no command is sent.
    form_.iSwitchLed4->setActive(autoOn);
    form_.iSwitchLed5->setActive(semiautoOn);
}

void MeasurementsView::SetStatusText(const std::string& text) {
    form_.iLabel_Status->setText(Text(text));
}

void MeasurementsView::SetGuPointerColour(Rgb c) {
    form_.iAnalog_GU->setPointerColor(QColor(c.r, c.g, c.b));
}

void MeasurementsView::SetClockText(const std::string& text) {
    form_.iEdit_Time->setText(Text(text));
}

void MeasurementsView::SetVoltage(VoltageGauge gauge, double volts) {
    DialGauge* dial = nullptr;
    NumericDisplay* display = nullptr;
    switch (gauge) {
        case VoltageGauge::GU:
            dial = form_.iAnalog_GU, display = form_.iDigital_GU;
            break;
        case VoltageGauge::A:
            dial = form_.iAnalog_A, display = form_.iDigital_A;
            break;
        case VoltageGauge::B:
            dial = form_.iAnalog_B, display = form_.iDigital_B;
            break;
        case VoltageGauge::C:
            dial = form_.iAnalog_C, display = form_.iDigital_C;
            break;
    }
    dial->setPosition(volts);
    display->setValue(volts);
}

void MeasurementsView::SetBattery(double volts) {
    form_.iAnalog_ACC->setPosition(volts);
    form_.iDigital_ACC->setValue(volts);
}

void MeasurementsView::SetUps(double volts) {
    form_.iAnalog_UPS->setPosition(volts);
    form_.iDigital_UPS->setValue(volts);
}

void MeasurementsView::SetMotorHoursText(const std::string& text) {
    form_.iEdit_Motoclock->setText(Text(text));
}

void MeasurementsView::SetServiceText(const std::string& text) {
    form_.iEdit_TO->setText(Text(text));
}

void MeasurementsView::SetSignal(double dbm) {
    form_.iAnalog_SignalStrength->setPosition(dbm);
    form_.iDigital_SignalStrength->setValue(dbm);
}

void MeasurementsView::SetCarrierText(const std::string& text) {
    form_.iLabel_Carrier->setText(Text(text));
}

void MeasurementsView::SetTemperature(int sensor, double celsius) {
    BarGauge* const bars[] = {form_.iAnalog_Temperature, form_.iAnalog_Temperature2,
                              form_.iAnalog_Temperature3, form_.iAnalog_Temperature4};
    NumericDisplay* const displays[] = {form_.iDigital_Temperature, form_.iDigital_Temperature2,
                                        form_.iDigital_Temperature3, form_.iDigital_Temperature4};
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

void DeviceCatalogView::SelectDeviceVersion(int index) {
    const QSignalBlocker quiet(form_.ComboBox_DeviceVersions);
    form_.ComboBox_DeviceVersions->setCurrentIndex(index);
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
      chart_(*form.iPlot1),
      presenter_(view_, catalog_, chart_, form.CurrentModelCode, form.GuPointerBlink) {}

}  // namespace lum
