#include "app/FlagLamps.h"

#include "app/Unit1.h"

namespace lum {

const std::array<FlagLampControl, kFlagLampCount> kFlagLampControls = {{
    {&TForm1::iLed_THREE_LINE_FLAG, "iLed_THREE_LINE_FLAG"},
    {&TForm1::iLed_DIRECT_START_FLAG, "iLed_DIRECT_START_FLAG"},
    {&TForm1::iLed_SMART_START_FLAG, "iLed_SMART_START_FLAG"},
    {&TForm1::iLed_GU_FREQ_FLAG, "iLed_GU_FREQ_FLAG"},
    {&TForm1::iLed_TO_FLAG, "iLed_TO_FLAG"},
    {&TForm1::iLed_ACC_VOLTAGE_CONTROL_FLAG, "iLed_ACC_VOLTAGE_CONTROL_FLAG"},
    {&TForm1::iLed_UPS_VOLTAGE_CONTROL_FLAG, "iLed_UPS_VOLTAGE_CONTROL_FLAG"},
    {&TForm1::iLed_WORK_SLEEP_FLAG, "iLed_WORK_SLEEP_FLAG"},
    {&TForm1::iLed_TEST_START_FLAG, "iLed_TEST_START_FLAG"},
    {&TForm1::iLed_SHORT_FLAG, "iLed_SHORT_FLAG"},
    {&TForm1::iLed_GSM_ACTIVITY_FLAG, "iLed_GSM_ACTIVITY_FLAG"},
    {&TForm1::iLed_THERMO_FLAG, "iLed_THERMO_FLAG"},
    {&TForm1::iLed_GPRS_FLAG, "iLed_GPRS_FLAG"},
}};

}  // namespace lum
