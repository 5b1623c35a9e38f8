// Frame building and decoding.
//  - A frame built from any header and data decodes back to the same Kind, Code, Address,
//    Count and data, with a matching check byte; its text is the start byte, uppercase hex
//    pairs and the terminator, 2 * (6 + n) + 2 characters.
//  - A count above the work area or above the data handed over is refused, nothing built.
//  - Any body decodes to (size + 1) / 2 bytes without fault; the conversions keep their
//    rules for every byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "link/FrameCodec.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

void CheckFrame(const std::string& text, std::uint8_t kind, std::uint8_t code, std::uint16_t address,
                std::uint8_t countField, const std::vector<std::uint8_t>& data) {
    const std::size_t length = lum::DataOffset + data.size() + 1;
    Require(text.size() == 2 * length + 2);
    Require(text.front() == lum::kFrameStart && text.back() == lum::kFrameEnd);
    const std::string body = text.substr(1, text.size() - 2);
    for (char c : body) Require(IsUpperHex(c));
    const std::vector<std::uint8_t> bytes = lum::DecodeFrameBody(body);
    Require(bytes.size() == length);
    Require(lum::FrameCheckOk(bytes));
    Require(bytes[0] == kind && bytes[1] == code);
    Require((bytes[2] << 8 | bytes[3]) == address);
    Require(bytes[4] == countField);
    Require(std::equal(data.begin(), data.end(), bytes.begin() + lum::DataOffset));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* raw, std::size_t size) {
    FuzzedDataProvider in(raw, size);
    const auto which = in.ConsumeIntegral<std::uint8_t>();
    const auto code = in.ConsumeIntegral<std::uint8_t>();
    const auto address = in.ConsumeIntegral<std::uint16_t>();
    const auto count = in.ConsumeIntegral<std::uint8_t>();
    const auto given = in.ConsumeIntegralInRange<std::size_t>(0, 255);
    const std::vector<std::uint8_t> data = in.ConsumeBytes<std::uint8_t>(given);
    const std::string rest = in.ConsumeRemainingBytesAsString();

    // Building.
    const bool fits = count <= lum::kMaxFrameData && data.size() >= count;
    const std::vector<std::uint8_t> framed(data.begin(), data.begin() + std::min<std::size_t>(count, data.size()));
    try {
        switch (which % 3) {
            case 0:
                CheckFrame(lum::BuildFrame(code, address, count, data), 0, code, address, count, framed);
                break;
            case 1:
                CheckFrame(lum::BuildWriteFrame(address, count, data), 0, 4, address, count, framed);
                break;
            default:
                break;
        }
        Require(fits || which % 3 == 2);
    } catch (const lum::FrameError&) {
        Require(!fits);
    }
    CheckFrame(lum::BuildReadFrame(address, count), 1, 5, address, count, {});

    // Decoding whatever arrives.
    const std::vector<std::uint8_t> bytes = lum::DecodeFrameBody(rest);
    Require(bytes.size() == (rest.size() + 1) / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char low = 2 * i + 1 < rest.size() ? rest[2 * i + 1] : '0';
        Require(bytes[i] == lum::HexToByte(rest[2 * i], low));
    }
    if (!bytes.empty()) {
        std::uint8_t check = 0;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i) check ^= bytes[i];
        Require(lum::FrameCheckOk(bytes) == (check == bytes.back()));
    }

    // The conversions.
    const std::string hex = lum::ByteToHex(code);
    Require(hex.size() == 2 && IsUpperHex(hex[0]) && IsUpperHex(hex[1]));
    Require(lum::HexToByte(hex[0], hex[1]) == code);
    if (code <= 99) Require(lum::BcdToBin(lum::BinToBcd(code)) == code);
    Require(lum::BcdToBin(code) == (code & 0x0F) + (code >> 4) * 10);
    const long long value = static_cast<std::int32_t>(address << 16 | count << 8 | which);
    const auto width = static_cast<std::uint8_t>(count % 12);
    const std::string padded = lum::IntToZeroPadded(value, width);
    Require(padded.size() == width);
    const std::string full = std::to_string(value);
    if (full.size() >= width) {
        Require(full.compare(full.size() - width, width, padded) == 0);
    } else {
        Require(padded == std::string(width - full.size(), '0') + full);
    }
    return 0;
}
