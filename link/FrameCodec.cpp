#include "link/FrameCodec.h"


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
    return FrameText(FrameBytes(kind, code, address, headerCount, data.first(count)));
}

}  // namespace

std::vector<std::uint8_t> FrameBytes(std::uint8_t kind, std::uint8_t code, std::uint16_t address,
                                     std::uint8_t countField, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(DataOffset + data.size() + 1);
    bytes = {kind, code, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address & 0xFF),
             countField};
    bytes.insert(bytes.end(), data.begin(), data.end());
    std::uint8_t check = 0;
    for (auto b : bytes) check ^= b;
    bytes.push_back(check);
    return bytes;
}

std::string FrameText(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(2 * bytes.size() + 2);
    text += kFrameStart;
    for (auto b : bytes) text += ByteToHex(b);
    text += kFrameEnd;
    return text;
}

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
