#pragma once
// The page "Измерения": gauges, displays, text fields, text panels and lamps, shown from
// the status records. Main (GUI) thread only.
#include <QLabel>
#include <QObject>
#include <array>

#include "params/GaugeThresholds.h"
#include "widgets/BarGauge.h"
#include "widgets/DialGauge.h"
#include "widgets/Lamp.h"
#include "widgets/NumericDisplay.h"
#include "widgets/TextField.h"

namespace lum {

// Colours the program sets on the generator dial's pointer.
inline const QColor kPointerBlue(0, 0, 255);
inline const QColor kPointerYellow(255, 255, 0);
inline const QColor kPointerRed(255, 0, 0);

class MeasurementsPage : public QObject {
    Q_OBJECT
  public:
    // Builds the page's controls on `sheet`.
    explicit MeasurementsPage(QWidget* sheet);

    // The error state (every display "---", texts empty, gauges at 0).
    void SetIndicatorsError();
    void ClearIndicatorsError();
    // The eleven gauges of the page.
    std::array<GaugeBase*, 11> MeasurementGauges() const;
    // The gauges' limit marks from the configuration.
    void ApplyGaugeThresholds(const GaugeThresholds& t);
    // One step of the generator pointer's blinking (Timer2).
    void BlinkGuPointer();

    // The generator pointer blinks (set by the status records).
    bool GuPointerBlink = false;

    DialGauge *iAnalog_A, *iAnalog_B, *iAnalog_C, *iAnalog_GU;
    BarGauge *iAnalog_ACC, *iAnalog_UPS, *iAnalog_SignalStrength;
    BarGauge *iAnalog_Temperature, *iAnalog_Temperature2, *iAnalog_Temperature3, *iAnalog_Temperature4;
    NumericDisplay *iDigital_A, *iDigital_B, *iDigital_C, *iDigital_GU, *iDigital_ACC, *iDigital_UPS;
    NumericDisplay *iDigital_SignalStrength, *iDigital_Temperature, *iDigital_Temperature2;
    NumericDisplay *iDigital_Temperature3, *iDigital_Temperature4;
    TextField *iEdit_Motoclock, *iEdit_TO, *iEdit_Time;
    TextPanel *iLabel_Status, *iLabel_Carrier;
    Lamp *iLed_THREE_LINE_FLAG, *iLed_DIRECT_START_FLAG, *iLed_SMART_START_FLAG, *iLed_GU_FREQ_FLAG;
    Lamp *iLed_TO_FLAG, *iLed_ACC_VOLTAGE_CONTROL_FLAG, *iLed_UPS_VOLTAGE_CONTROL_FLAG, *iLed_WORK_SLEEP_FLAG;
    Lamp *iLed_TEST_START_FLAG, *iLed_SHORT_FLAG, *iLed_GSM_ACTIVITY_FLAG, *iLed_THERMO_FLAG, *iLed_GPRS_FLAG;
    Lamp *iLed_Auto, *iLed_Semiauto, *iLed_Manual;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10;
    QLabel *Label11, *Label17, *Label18;

  private:
    void BuildGauges(QWidget* p);
    void BuildTemperatures(QWidget* p);
    void BuildMiddleColumn(QWidget* p);
};

}  // namespace lum
