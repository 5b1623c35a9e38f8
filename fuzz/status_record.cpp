// Status record parsing and presentation of any decoded frame.
//  - A frame carrying the header, 36 data bytes and the check byte is parsed, a shorter
//    one is refused and changes nothing on the page.
//  - Every field comes from its bytes; every text the page shows is well-formed UTF-8 that
//    code page 1251 can hold; clock and timer texts are hh:mm:ss with two digits each.
//  - The catalogue follows only a known model; one status adds 7 or 8 chart points.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "common/Cp1251.h"
#include "link/FrameCodec.h"
#include "params/Catalog.h"
#include "telemetry/ChartModel.h"
#include "telemetry/StatusPresenter.h"
#include "telemetry/StatusRecord.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void RequireText(const std::string& text) {
    Require(!text.empty());
    Require(lum::Utf8ToCp1251(text).size() == lum::Utf8Length(text));
}

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

void RequireHms(const std::string& text) {
    Require(text.size() == 8 && text[2] == ':' && text[5] == ':');
    for (int i : {0, 1, 3, 4, 6, 7}) Require(Digit(text[static_cast<std::size_t>(i)]));
}

class CheckingView : public lum::IMeasurementsView {
  public:
    int calls = 0;
    void ClearIndicatorsError() override { ++calls; }
    void SetModeLamps(bool autoLit, bool semiautoLit, bool manualLit) override {
        Require(autoLit + semiautoLit + manualLit == 1);
    }
    void SetModeSwitches(bool autoOn, bool semiautoOn) override { Require(autoOn != semiautoOn); }
    void SetStatusText(const std::string& text) override { RequireText(text); }
    void SetGuPointerColour(lum::Rgb) override {}
    void SetClockText(const std::string& text) override { RequireHms(text); }
    void SetVoltage(lum::VoltageGauge, double volts) override {
        Require(volts == 0 || (volts >= 100 && volts <= 305));
    }
    void SetBattery(double volts) override { Require(volts >= 0 && volts <= 6553.5); }
    void SetUps(double volts) override { Require(volts >= 0 && volts <= 6553.5); }
    void SetMotorHoursText(const std::string& text) override { RequireText(text); }
    void SetServiceText(const std::string& text) override { RequireText(text); }
    void SetSignal(double dbm) override { Require(dbm >= -113 && dbm <= -51); }
    void SetCarrierText(const std::string& text) override { RequireText(text); }
    void SetTemperature(int sensor, double celsius) override {
        Require(sensor >= 0 && sensor < 4 && celsius >= -128 && celsius <= 127);
    }
    void SetFlagLamp(lum::FlagLamp lamp, bool) override {
        Require(static_cast<int>(lamp) >= 0 && static_cast<int>(lamp) < lum::kFlagLampCount);
    }
};

class CheckingCatalog : public lum::ICatalogView {
  public:
    void LoadCatalogForModel(std::uint8_t modelCode) override { Require(lum::IsKnownModel(modelCode)); }
    void ShowJournalPage() override {}
    void SelectDeviceVersion(int index) override { Require(index >= 0 && index < lum::ModelCount); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> frame(data, size);
    const std::size_t full = lum::DataOffset + lum::kStatusDataLength + 1;
    const auto record = lum::ParseStatusRecord(frame);
    Require(record.has_value() == (size >= full));

    CheckingView view;
    CheckingCatalog catalog;
    lum::ChartModel chart;
    double clock = 1.0e9;
    lum::ChartRecorder recorder(chart, [&clock] { return clock += 0.001; });
    std::uint8_t model = lum::ModelPetrolV2;
    bool blink = false;
    lum::StatusPresenter presenter(view, catalog, recorder, model, blink);
    Require(presenter.DecodeStatusRecord(frame) == record.has_value());
    Require(lum::IsKnownModel(model));
    if (!record) {
        Require(view.calls == 0 && chart.TotalPoints() == 0);
        return 0;
    }
    const std::uint8_t* d = data + lum::DataOffset;
    const lum::StatusRecord& r = *record;
    Require(r.ModelCode == d[0] && r.FlagsA == d[2] && r.FlagsB == d[3] && r.Mode == d[4] && r.WORK_MODE == d[5]);
    Require(r.StateTimer == (d[6] << 8 | d[7]));
    Require(r.VoltageA == lum::VoltageFromCode(d[9]));
    Require(r.VoltageACC == (d[15] << 8 | d[16]) && r.VoltageUPS == (d[17] << 8 | d[18]));
    Require(r.MinutesToService == (d[25] << 8 | d[26]));
    Require(r.Temperature4 == static_cast<std::int8_t>(d[35]));
    Require(r.SignalQuality <= 31);
    Require(model == (lum::IsKnownModel(r.ModelCode) ? r.ModelCode : lum::ModelPetrolV2));
    Require(presenter.Record().WORK_MODE == r.WORK_MODE);
    Require(chart.TotalPoints() == (r.WORK_MODE == 3 ? 8u : 7u));

    RequireHms(lum::FormatStateTimer(r.StateTimer));
    if (const auto text = lum::StateText(r.WORK_MODE, r.StateTimer)) {
        RequireText(*text);
        Require(r.WORK_MODE <= 26);
    } else {
        Require(r.WORK_MODE > 26);
    }
    if (const auto text = lum::RegistrationText(r.NetworkRegistration)) RequireText(*text);
    RequireText(lum::FormatHoursMinutes(r.MotorMinutes));
    return 0;
}
