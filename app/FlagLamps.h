#pragma once
// The window's flag lamp controls, indexed by FlagLamp: the member of `MeasurementsPage` that holds
// each lamp and the object name it carries. The measurements page builds the lamps from this
// table and the measurements view takes them from it. Constant data, any thread.
#include <array>

#include "telemetry/StatusRecord.h"

namespace lum {

class MeasurementsPage;
class Lamp;

struct FlagLampControl {
    Lamp* MeasurementsPage::*member;
    const char* objectName;
};
extern const std::array<FlagLampControl, kFlagLampCount> kFlagLampControls;

}  // namespace lum
