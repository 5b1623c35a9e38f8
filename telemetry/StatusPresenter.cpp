#include "telemetry/StatusPresenter.h"

#include "params/Catalog.h"

namespace lum {

ModelSwitch SelectCatalogForModel(std::uint8_t modelCode, std::uint8_t& currentModelCode, ICatalogView& view) {
    const auto index = IndexForModelCode(modelCode);
    if (!index) return ModelSwitch::None;
    if (modelCode == currentModelCode) {
        view.ReportOtherModel(std::nullopt);
        return ModelSwitch::None;
    }
    if (view.TreeEdited()) {
        view.ReportOtherModel(modelCode);
        return ModelSwitch::Held;
    }
    view.ReportOtherModel(std::nullopt);
    currentModelCode = modelCode;
    view.LoadCatalogForModel(modelCode);
    view.ShowJournalPage();
    view.SelectDeviceVersion(*index);
    return ModelSwitch::Switched;
}

std::optional<Rgb> BlinkTick(bool blink, Rgb current) {
    if (!blink) return std::nullopt;
    return current == kRgbYellow ? kRgbRed : kRgbYellow;
}

bool StatusPresenter::DecodeStatusRecord(std::span<const std::uint8_t> frame) {
    const auto parsed = ParseStatusRecord(frame);
    if (!parsed) {
        ++ignored_;
        return false;
    }
    ++shown_;

    view_.ClearIndicatorsError();
    SelectCatalogForModel(parsed->ModelCode, currentModelCode_, catalog_);
    record_ = *parsed;
    const StatusRecord& r = record_;

    ShowModeAndState();

    view_.SetClockText(FormatClock(r));
    view_.SetVoltage(VoltageGauge::GU, r.VoltageGU);
    view_.SetVoltage(VoltageGauge::A, r.VoltageA);
    view_.SetVoltage(VoltageGauge::B, r.VoltageB);
    view_.SetVoltage(VoltageGauge::C, r.VoltageC);
    view_.SetBattery(r.AccVolts());
    view_.SetUps(r.UpsVolts());
    view_.SetMotorHoursText(FormatHoursMinutes(r.MotorMinutes));
    view_.SetServiceText(FormatHoursMinutes(r.MinutesToService));
    view_.SetSignal(r.SignalDbm());
    if (const auto carrier = RegistrationText(r.NetworkRegistration)) view_.SetCarrierText(*carrier);
    view_.SetTemperature(0, r.Temperature1);
    view_.SetTemperature(1, r.Temperature2);
    view_.SetTemperature(2, r.Temperature3);
    view_.SetTemperature(3, r.Temperature4);
    for (int i = 0; i < kFlagLampCount; ++i) view_.SetFlagLamp(static_cast<FlagLamp>(i), r.Flags[i]);

    chart_.AddPoint(ChartChannel::PhaseA, r.VoltageA);
    chart_.AddPoint(ChartChannel::PhaseB, r.VoltageB);
    chart_.AddPoint(ChartChannel::PhaseC, r.VoltageC);
    chart_.AddPoint(ChartChannel::PhaseGU, r.VoltageGU);
    chart_.AddPoint(ChartChannel::NTC_VALUE, r.Temperature1);
    chart_.AddPoint(ChartChannel::VCC_VOLTAGE, r.AccVolts());
    if (r.WORK_MODE == 3) chart_.AddPoint(ChartChannel::START_MODE, r.StartStep());
    chart_.AddPoint(ChartChannel::WORK_MODE, r.WORK_MODE);
    return true;
}

void StatusPresenter::ShowModeAndState() {
    const StatusRecord& r = record_;
    if (r.Mode == 1) {
        view_.SetStatusText(kManualModeText);
        view_.SetModeLamps(false, false, true);
        return;
    }
    if (r.Mode != 2) return;

    view_.SetModeLamps(!r.SemiAuto, r.SemiAuto, false);
    view_.SetModeSwitches(!r.SemiAuto, r.SemiAuto);
    if (const auto text = StateText(r.WORK_MODE, r.StateTimer)) view_.SetStatusText(*text);
    if (r.WORK_MODE == 5) {
        view_.SetGuPointerColour(kRgbBlue);
        guPointerBlink_ = false;
    } else if (r.WORK_MODE == 22 || r.WORK_MODE == 23) {
        guPointerBlink_ = true;
    }
}

}  // namespace lum
