#pragma once
// A colour as the program names it (red, green, blue, 0-255 each). Plain value, any thread.
#include <cstdint>

namespace lum {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kRgbBlue{0, 0, 255};
inline constexpr Rgb kRgbYellow{255, 255, 0};
inline constexpr Rgb kRgbRed{255, 0, 0};
inline constexpr Rgb kRgbLime{0, 255, 0};
inline constexpr Rgb kRgbAqua{0, 255, 255};
inline constexpr Rgb kRgbWhite{255, 255, 255};

}  // namespace lum
