#pragma once
// What a status message does to the window: lifts the indicators' error state, switches the
// parameter catalogue to the reported model, shows the mode and state, updates every gauge,
// display and lamp, and adds the time-diagram points. The window implements the three small
// views below; everything here is plain logic.
//
// Main thread only.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "telemetry/ChartModel.h"
#include "telemetry/Rgb.h"
#include "telemetry/StatusRecord.h"

namespace lum {

enum class VoltageGauge { GU, A, B, C };

// The indicators of the measurements page (and the two mode switches of the extra page).
class IMeasurementsView {
  public:
    virtual ~IMeasurementsView() = default;
    // Switches off the error state of the fourteen displays and text fields.
    virtual void ClearIndicatorsError() = 0;
    virtual void SetModeLamps(bool autoLit, bool semiautoLit, bool manualLit) = 0;
    // The switches "Режим Авто" and "Режим Полу-авто": set from here they send no command
    // (their click handlers are not run).
    virtual void SetModeSwitches(bool autoOn, bool semiautoOn) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void SetGuPointerColour(Rgb colour) = 0;
    virtual void SetClockText(const std::string& text) = 0;
    // Dial position and display value.
    virtual void SetVoltage(VoltageGauge gauge, double volts) = 0;
    virtual void SetBattery(double volts) = 0;
    virtual void SetUps(double volts) = 0;
    virtual void SetMotorHoursText(const std::string& text) = 0;
    virtual void SetServiceText(const std::string& text) = 0;
    virtual void SetSignal(double dbm) = 0;
    virtual void SetCarrierText(const std::string& text) = 0;
    // sensor 0-3: bar position and display value.
    virtual void SetTemperature(int sensor, double celsius) = 0;
    virtual void SetFlagLamp(FlagLamp lamp, bool lit) = 0;
};

// The parameter tree and the device-version selector, as far as a model switch needs them.
class ICatalogView {
  public:
    virtual ~ICatalogView() = default;
    // Clears the tree and fills it with the catalogue of the model.
    virtual void LoadCatalogForModel(std::uint8_t modelCode) = 0;
    // Makes the page "Журнал событий" visible.
    virtual void ShowJournalPage() = 0;
    // Selects an entry of the device-version selector without running its change handler.
    virtual void SelectDeviceVersion(int index) = 0;
    // True when the tree holds values a reload would discard (edited since the last load,
    // read, open or save). A view without a tree of its own holds none.
    virtual bool TreeEdited() const { return false; }
    // The controller reports another model than the tree's and the tree keeps its edited
    // values: `modelCode` names that model; nothing when the controller agrees (again).
    virtual void ReportOtherModel(std::optional<std::uint8_t> modelCode) { (void)modelCode; }
};

// Receives one value per channel; the receiver stamps the time.
class IChartSink {
  public:
    virtual ~IChartSink() = default;
    virtual void AddPoint(ChartChannel channel, double value) = 0;
};

// A chart sink that stamps each point with now() (seconds since the epoch) as it is added.
class ChartRecorder : public IChartSink {
  public:
    ChartRecorder(ChartModel& model, std::function<double()> now) : model_(model), now_(std::move(now)) {}
    void AddPoint(ChartChannel channel, double value) override {
        model_.AddPoint(static_cast<int>(channel), now_(), value);
    }

  private:
    ChartModel& model_;
    std::function<double()> now_;
};


// What a status record's model code did to the tree.
enum class ModelSwitch {
    None,      // same model as the tree's, or an unknown code: nothing changed
    Switched,  // the tree was reloaded with the reported model's catalogue
    Held,      // another model, but the tree holds edited values: kept, and reported
};

// The switch by the device: for a known model code other than currentModelCode, sets
// currentModelCode, reloads the tree, shows the journal page and selects the selector entry
// (Switched) — unless the tree holds edited values: then nothing changes but the view is
// told which model the controller reports (Held). A record of the tree's own model clears
// such a report (None).
ModelSwitch SelectCatalogForModel(std::uint8_t modelCode, std::uint8_t& currentModelCode, ICatalogView& view);

// One tick of the generator pointer blink: with blink set, yellow becomes red and any other
// colour yellow; with blink clear nothing changes.
std::optional<Rgb> BlinkTick(bool blink, Rgb current);

class StatusPresenter {
  public:
    // currentModelCode and guPointerBlink belong to the main window and are shared with the
    // selector's own handler and the blink timer.
    StatusPresenter(IMeasurementsView& view, ICatalogView& catalog, IChartSink& chart,
                    std::uint8_t& currentModelCode, bool& guPointerBlink)
        : view_(view),
          catalog_(catalog),
          chart_(chart),
          currentModelCode_(currentModelCode),
          guPointerBlink_(guPointerBlink) {}

    // Shows a status message. `frame` is the decoded frame (kind 1, code 21) with exactly
    // the bytes that came off the line. A frame too short for the record changes nothing and
    // gives false.
    bool DecodeStatusRecord(std::span<const std::uint8_t> frame);

    // The last record shown (zeroes before the first).
    const StatusRecord& Record() const { return record_; }
    std::uint64_t RecordsShown() const { return shown_; }
    std::uint64_t ShortRecordsIgnored() const { return ignored_; }

  private:
    void ShowModeAndState();

    IMeasurementsView& view_;
    ICatalogView& catalog_;
    IChartSink& chart_;
    std::uint8_t& currentModelCode_;
    bool& guPointerBlink_;
    StatusRecord record_;
    std::uint64_t shown_ = 0;
    std::uint64_t ignored_ = 0;
};

}  // namespace lum
