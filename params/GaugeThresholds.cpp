#include "params/GaugeThresholds.h"

namespace lum {

std::int32_t TenthsToNearestEven(std::uint32_t tenths) {
    std::uint32_t whole = tenths / 10;
    const std::uint32_t rest = tenths % 10;
    if (rest > 5 || (rest == 5 && whole % 2 == 1)) ++whole;
    return static_cast<std::int32_t>(whole);
}

std::optional<GaugeThresholds::Scale> UpsScaleFor(std::uint32_t tenths) {
    if (tenths < 160) return GaugeThresholds::Scale{8, 16};
    if (tenths < 320) return GaugeThresholds::Scale{16, 32};
    if (tenths < 640) return GaugeThresholds::Scale{32, 64};
    if (tenths < 1200) return GaugeThresholds::Scale{64, 120};
    return std::nullopt;
}

GaugeThresholds ComputeGaugeThresholds(const ConfigImage& image) {
    GaugeThresholds t;
    t.GuEnd1 = ImageWord(image, 32);
    t.GuEnd2 = ImageWord(image, 34);
    t.MainsEnd1 = ImageWord(image, 36);
    t.MainsEnd2 = ImageWord(image, 38);
    t.TemperatureEnd1 = static_cast<std::int8_t>(image[15]);
    t.AccEnd1 = ImageWord(image, 40) / 10.0;
    t.UpsEnd1 = TenthsToNearestEven(ImageWord(image, 42));
    t.UpsEnd2 = TenthsToNearestEven(ImageWord(image, 44));
    t.UpsScale = UpsScaleFor(ImageWord(image, 44));
    return t;
}

}  // namespace lum
