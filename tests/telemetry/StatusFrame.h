#pragma once
// Builds decoded status frames for the tests: header, 36 data bytes, check byte.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "link/FrameCodec.h"

namespace lum::test {

struct StatusFrame {
    std::array<std::uint8_t, 36> data{};

    StatusFrame() {
        data[0] = 200;  // model
        data[4] = 2;    // automatic
        data[31] = 1;   // registered at home
    }
    StatusFrame& Set(int offset, std::uint8_t v) {
        data[static_cast<std::size_t>(offset)] = v;
        return *this;
    }
    StatusFrame& Set16(int offset, std::uint16_t v) {
        data[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(v >> 8);
        data[static_cast<std::size_t>(offset) + 1] = static_cast<std::uint8_t>(v);
        return *this;
    }
    StatusFrame& Set32(int offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            data[static_cast<std::size_t>(offset + i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
        return *this;
    }
    StatusFrame& Model(std::uint8_t m) { return Set(0, m); }
    StatusFrame& FlagsA(std::uint8_t f) { return Set(2, f); }
    StatusFrame& FlagsB(std::uint8_t f) { return Set(3, f); }
    StatusFrame& Mode(std::uint8_t m) { return Set(4, m); }
    StatusFrame& State(std::uint8_t s) { return Set(5, s); }
    StatusFrame& Timer(std::uint16_t t) { return Set16(6, t); }

    // The frame as it comes off the line: kind 1, code 21, address 0, count 36, data, check.
    std::vector<std::uint8_t> Bytes() const { return FrameBytes(1, 21, 0, 36, data); }
};

}  // namespace lum::test
