#include "app/FlagLamps.h"

#include "app/PageMeasurements.h"

namespace lum {

const std::array<FlagLampControl, kFlagLampCount> kFlagLampControls = {{
    {&MeasurementsPage::iLed_THREE_LINE_FLAG, "iLed_THREE_LINE_FLAG"},
    {&MeasurementsPage::iLed_DIRECT_START_FLAG, "iLed_DIRECT_START_FLAG"},
    {&MeasurementsPage::iLed_SMART_START_FLAG, "iLed_SMART_START_FLAG"},
    {&MeasurementsPage::iLed_GU_FREQ_FLAG, "iLed_GU_FREQ_FLAG"},
    {&MeasurementsPage::iLed_TO_FLAG, "iLed_TO_FLAG"},
    {&MeasurementsPage::iLed_ACC_VOLTAGE_CONTROL_FLAG, "iLed_ACC_VOLTAGE_CONTROL_FLAG"},
    {&MeasurementsPage::iLed_UPS_VOLTAGE_CONTROL_FLAG, "iLed_UPS_VOLTAGE_CONTROL_FLAG"},
    {&MeasurementsPage::iLed_WORK_SLEEP_FLAG, "iLed_WORK_SLEEP_FLAG"},
    {&MeasurementsPage::iLed_TEST_START_FLAG, "iLed_TEST_START_FLAG"},
    {&MeasurementsPage::iLed_SHORT_FLAG, "iLed_SHORT_FLAG"},
    {&MeasurementsPage::iLed_GSM_ACTIVITY_FLAG, "iLed_GSM_ACTIVITY_FLAG"},
    {&MeasurementsPage::iLed_THERMO_FLAG, "iLed_THERMO_FLAG"},
    {&MeasurementsPage::iLed_GPRS_FLAG, "iLed_GPRS_FLAG"},
}};

}  // namespace lum
