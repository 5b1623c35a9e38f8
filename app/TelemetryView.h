#pragma once
// The measurements page (with the mode switches of the service page), the parameter
// selector and the time diagrams of the main window as the status presenter sees them, and the binding that owns the presenter.
// Main (GUI) thread only.
#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "telemetry/StatusPresenter.h"

namespace lum {

class MeasurementsPage;
class ServicePage;
class StripChart;
class TForm1;

class Lamp;

class MeasurementsView : public IMeasurementsView {
  public:
    explicit MeasurementsView(TForm1& form);
    void ClearIndicatorsError() override;
    void SetModeLamps(bool autoLit, bool semiautoLit, bool manualLit) override;
    void SetModeSwitches(bool autoOn, bool semiautoOn) override;
    void SetStatusText(const std::string& text) override;
    void SetGuPointerColour(Rgb colour) override;
    void SetClockText(const std::string& text) override;
    void SetVoltage(VoltageGauge gauge, double volts) override;
    void SetBattery(double volts) override;
    void SetUps(double volts) override;
    void SetMotorHoursText(const std::string& text) override;
    void SetServiceText(const std::string& text) override;
    void SetSignal(double dbm) override;
    void SetCarrierText(const std::string& text) override;
    void SetTemperature(int sensor, double celsius) override;
    void SetFlagLamp(FlagLamp lamp, bool lit) override;

    // The flag lamp controls in the order of FlagLamp (the window's members, app/FlagLamps.h).
    const std::array<Lamp*, kFlagLampCount>& FlagLamps() const { return flagLamps_; }

  private:
    MeasurementsPage& page_;
    ServicePage& service_;
    std::array<Lamp*, kFlagLampCount> flagLamps_{};
};

class DeviceCatalogView : public ICatalogView {
  public:
    explicit DeviceCatalogView(TForm1& form) : form_(form) {}
    void LoadCatalogForModel(std::uint8_t modelCode) override;
    void ShowJournalPage() override;
    // Selects the entry with the selector's signals blocked, so its change handler does not run.
    void SelectDeviceVersion(int index) override;
    bool TreeEdited() const override;
    // The notice in the status bar, with its link to load the reported catalogue.
    void ReportOtherModel(std::optional<std::uint8_t> modelCode) override;

  private:
    TForm1& form_;
};

// Adds the points to the strip chart, stamped with the PC's clock.
class StripChartSink : public IChartSink {
  public:
    explicit StripChartSink(StripChart& chart, std::function<double()> now = {});
    void AddPoint(ChartChannel channel, double value) override;

  private:
    StripChart& chart_;
    std::function<double()> now_;
};

// What a status frame does to the window (the status branch of the receive handler).
class TelemetryBinding {
  public:
    explicit TelemetryBinding(TForm1& form);
    // `frame`: the decoded frame, exactly as long as it came off the line. False when it was
    // too short to hold the status record (nothing is shown then).
    bool DecodeStatusRecord(std::span<const std::uint8_t> frame) {
        return presenter_.DecodeStatusRecord(frame);
    }
    StatusPresenter& Presenter() { return presenter_; }

  private:
    MeasurementsView view_;
    DeviceCatalogView catalog_;
    StripChartSink chart_;
    StatusPresenter presenter_;
};

}  // namespace lum
