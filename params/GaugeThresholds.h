#pragma once
// The limit marks of the measurement gauges taken from the configuration image: the
// thresholds the controller works with, drawn as the ends of the gauges' colour bands.
//
// Pure functions: any thread.
#include <cstdint>
#include <optional>

#include "params/Packing.h"

namespace lum {

struct GaugeThresholds {
    double GuEnd1 = 0, GuEnd2 = 0;        // iAnalog_GU: w(32), w(34)
    double MainsEnd1 = 0, MainsEnd2 = 0;  // iAnalog_A, _B, _C: w(36), w(38)
    double TemperatureEnd1 = 0;           // iAnalog_Temperature: byte 15, signed
    double AccEnd1 = 0;                   // iAnalog_ACC: w(40) / 10 volts
    double UpsEnd1 = 0, UpsEnd2 = 0;      // iAnalog_UPS: w(42) / 10, w(44) / 10, halves to even
    // iAnalog_UPS's scale for the upper threshold; nothing (scale unchanged) from 1200 up.
    struct Scale {
        double Min, Max;
    };
    std::optional<Scale> UpsScale;
};

// Tenths to whole units, a half going to the even neighbour (25 -> 2, 35 -> 4).
std::int32_t TenthsToNearestEven(std::uint32_t tenths);

// The UPS gauge's scale for an upper threshold `tenths` (tenths of a volt): below 160
// 8..16, to 319 16..32, to 639 32..64, to 1199 64..120, from 1200 on unchanged (nothing).
std::optional<GaugeThresholds::Scale> UpsScaleFor(std::uint32_t tenths);

GaugeThresholds ComputeGaugeThresholds(const ConfigImage& image);

}  // namespace lum
