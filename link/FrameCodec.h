#pragma once
// Frame format of the controller link and the small conversions used on frame contents.
//
// A frame: Kind, Code, Address (16-bit, high byte first), Count, Count data bytes from
// position DataOffset, and a check byte = XOR of every byte before it. On the wire: the
// start byte 0x10, each byte as two uppercase hex digits, the terminator 0x0D.
//
// Pure functions, any thread.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lum {

inline constexpr int DataOffset = 5;
inline constexpr char kFrameStart = '\x10';
inline constexpr char kFrameEnd = '\x0D';
// The builders' work area holds 5 header bytes, at most 122 data bytes and the check byte.
inline constexpr int kMaxFrameData = 122;

// A frame that cannot be built (a data count above kMaxFrameData, or fewer data bytes than counted).
class FrameError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Two characters, high nibble first, digits 0-9 and uppercase A-F.
std::string ByteToHex(std::uint8_t b);
// value(c1)*16 + value(c2); anything but 0-9 and A-F (lowercase included) counts as 0.
std::uint8_t HexToByte(char c1, char c2);
// Packed BCD to binary; nibbles are not validated (0xFF gives 165).
std::uint8_t BcdToBin(std::uint8_t b);
// Binary 0..99 to packed BCD, truncated to 8 bits.
std::uint8_t BinToBcd(std::uint8_t v);
// Decimal text of value: its last `width` characters when longer, zero-padded in front when shorter.
std::string IntToZeroPadded(long long value, std::uint8_t width);

// Kind 0 frame: code, address, count n and the first n bytes of data. Raises FrameError
// when n is above 122 or data holds fewer than n bytes.
std::string BuildFrame(std::uint8_t code, std::uint16_t address, std::uint8_t count,
                       std::span<const std::uint8_t> data = {});
// BuildFrame with code 4 (configuration memory write).
std::string BuildWriteFrame(std::uint16_t address, std::uint8_t count, std::span<const std::uint8_t> data);
// Kind 1, code 5 read request for `count` bytes at `address`; carries no data.
std::string BuildReadFrame(std::uint16_t address, std::uint8_t count);

// The bytes of a frame of any kind: Kind, Code, Address (high byte first), `countField`,
// all of `data`, and the check byte. The controller's side of the line (the simulator, tests)
// builds its frames with it; the tool's requests come from the builders above.
std::vector<std::uint8_t> FrameBytes(std::uint8_t kind, std::uint8_t code, std::uint16_t address,
                                     std::uint8_t countField, std::span<const std::uint8_t> data = {});
// Wire text of frame bytes: the start byte, two hex digits a byte, the terminator.
std::string FrameText(std::span<const std::uint8_t> bytes);

// Decodes the characters between start byte and terminator, two at a time, into bytes;
// an odd last character becomes the high nibble of a last byte.
std::vector<std::uint8_t> DecodeFrameBody(std::string_view body);

// True when the last of `frame` bytes equals the XOR of all bytes before it
// (false for an empty frame).
bool FrameCheckOk(std::span<const std::uint8_t> frame);

}  // namespace lum
