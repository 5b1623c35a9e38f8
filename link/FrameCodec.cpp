#include "link/FrameCodec.h"

#include <array>

namespace lum {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::uint8_t NibbleValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return 0;
}

// Builds kind/code/address/headerCount followed by `carried` data bytes and the check byte.
std::string Assemble(std::uint8_t kind, std::uint8_t code, std::uint16_t address, std::uint8_t headerCount,
                     std::uint8_t count, std::span<const std::uint8_t> data) {
    if (count > kMaxFrameData) {
        throw FrameError("Кадр не может нести " + std::to_string(count) + " байт данных (не более " +
                         std::to_string(kMaxFrameData) + ")");
    }
    if (data.size() < count) {
        throw FrameError("Для кадра нужно " + std::to_string(count) + " байт данных, передано " +
                         std::to_string(data.size()));
    }
    std::array<std::uint8_t, 5 + kMaxFrameData + 1> work{};
    work[0] = kind;
    work[1] = code;
    work[2] = static_cast<std::uint8_t>(address >> 8);
    work[3] = static_cast<std::uint8_t>(address & 0xFF);
    work[4] = headerCount;
    for (int i = 0; i < count; ++i) work[DataOffset + i] = data[i];
    std::uint8_t check = 0;
    for (int i = 0; i < DataOffset + count; ++i) check ^= work[i];
    work[DataOffset + count] = check;

    const int length = DataOffset + count + 1;
    std::string text;
    text.reserve(2 * length + 2);
    text += kFrameStart;
    for (int i = 0; i < length; ++i) text += ByteToHex(work[i]);
    text += kFrameEnd;
    return text;
}

}  // namespace

std::string ByteToHex(std::uint8_t b) {
    return {kHexDigits[b >> 4], kHexDigits[b & 0x0F]};
}

std::uint8_t HexToByte(char c1, char c2) {
    return static_cast<std::uint8_t>(NibbleValue(c1) * 16 + NibbleValue(c2));
}

std::uint8_t BcdToBin(std::uint8_t b) {
    return static_cast<std::uint8_t>((b & 0x0F) + (b >> 4) * 10);
}

std::uint8_t BinToBcd(std::uint8_t v) {
    return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10));
}

std::string IntToZeroPadded(long long value, std::uint8_t width) {
    std::string text = std::to_string(value);
    if (text.size() > width) return text.substr(text.size() - width);
    return std::string(width - text.size(), '0') + text;
}

std::string BuildFrame(std::uint8_t code, std::uint16_t address, std::uint8_t count,
                       std::span<const std::uint8_t> data) {
    return Assemble(0, code, address, count, count, data);
}

std::string BuildWriteFrame(std::uint16_t address, std::uint8_t count, std::span<const std::uint8_t> data) {
    return Assemble(0, 4, address, count, count, data);
}

std::string BuildReadFrame(std::uint16_t address, std::uint8_t count) {
    // The request names the count asked for but carries no data.
    return Assemble(1, 5, address, count, 0, {});
}

std::vector<std::uint8_t> DecodeFrameBody(std::string_view body) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve((body.size() + 1) / 2);
    std::size_t i = 0;
    for (; i + 1 < body.size(); i += 2) bytes.push_back(HexToByte(body[i], body[i + 1]));
    if (i < body.size()) bytes.push_back(HexToByte(body[i], '0'));
    return bytes;
}

bool FrameCheckOk(std::span<const std::uint8_t> frame) {
    if (frame.empty()) return false;
    std::uint8_t check = 0;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) check ^= frame[i];
    return check == frame.back();
}

}  // namespace lum
