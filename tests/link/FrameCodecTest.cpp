#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>

namespace lum {
namespace {

// The text between the start byte and the terminator; checks both ends.
std::string Body(const std::string& wire) {
    EXPECT_GE(wire.size(), 2u);
    EXPECT_EQ(wire.front(), '\x10');
    EXPECT_EQ(wire.back(), '\x0D');
    return wire.substr(1, wire.size() - 2);
}

TEST(FrameCodec, WorkedExamples) {
    EXPECT_EQ(Body(BuildReadFrame(0, 64)), "010500004044");
    EXPECT_EQ(Body(BuildFrame(34, 0, 0)), "002200000022");
    const std::uint8_t journal[] = {0x00, 0x03};
    EXPECT_EQ(Body(BuildFrame(40, 0, 2, journal)), "0028000002000329");
    const std::string serial = "12345678";
    const std::vector<std::uint8_t> serialBytes(serial.begin(), serial.end());
    EXPECT_EQ(Body(BuildWriteFrame(184, 8, serialBytes)), "000400B8083132333435363738BC");
}

TEST(FrameCodec, ControllerSideFramesCarryTheirCountFieldAndCheck) {
    // A read reply: kind 1, code 5, the address asked for, three bytes.
    const std::uint8_t data[] = {0xAB, 0x00, 0xFF};
    const auto bytes = FrameBytes(1, 5, 0x01C0, 3, data);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 5, 0x01, 0xC0, 3, 0xAB, 0x00, 0xFF,
                                                1 ^ 5 ^ 0x01 ^ 0xC0 ^ 3 ^ 0xAB ^ 0x00 ^ 0xFF}));
    EXPECT_TRUE(FrameCheckOk(bytes));
    EXPECT_EQ(FrameText(bytes), "\x10" "010501C003AB00FF" + ByteToHex(bytes.back()) + "\x0D");
    // The count field is what the caller says, not the data's length (malformed frames for tests).
    EXPECT_EQ(FrameBytes(1, 21, 0, 36).size(), 6u);
    EXPECT_EQ(FrameBytes(1, 21, 0, 36)[4], 36);
    // Longer than a request may be: the controller's replies are not bound by the builders' limit.
    const std::vector<std::uint8_t> long_(200, 7);
    EXPECT_EQ(DecodeFrameBody(Body(FrameText(FrameBytes(1, 5, 0, 200, long_)))), FrameBytes(1, 5, 0, 200, long_));
    EXPECT_EQ(FrameText(FrameBytes(0, 34, 0, 0)), BuildFrame(34, 0, 0));
}

TEST(FrameCodec, EmptyFrameIsFourteenCharactersAndChecksHeader) {
    const std::string wire = BuildFrame(0x33, 0x1234, 0);
    EXPECT_EQ(wire.size(), 14u);
    const auto bytes = DecodeFrameBody(Body(wire));
    ASSERT_EQ(bytes.size(), 6u);
    EXPECT_EQ(bytes[5], 0x00 ^ 0x33 ^ 0x12 ^ 0x34 ^ 0x00);
    EXPECT_TRUE(FrameCheckOk(bytes));
}

TEST(FrameCodec, WriteFramesOnlyTheCountedPrefixOfALongerBlock) {
    std::array<std::uint8_t, 64> block{};
    std::iota(block.begin(), block.end(), 1);
    const auto bytes = DecodeFrameBody(Body(BuildWriteFrame(128, 52, block)));
    ASSERT_EQ(bytes.size(), 5u + 52u + 1u);
    EXPECT_EQ(bytes[4], 52);
    EXPECT_EQ(bytes[DataOffset + 51], 52);
    std::uint8_t check = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) check ^= bytes[i];
    EXPECT_EQ(bytes.back(), check);
}

TEST(FrameCodec, CountLimit) {
    std::vector<std::uint8_t> data(200, 0xAA);
    EXPECT_NO_THROW(BuildFrame(4, 0, 122, data));
    EXPECT_EQ(BuildFrame(4, 0, 122, data).size(), 2u * (5 + 122 + 1) + 2);
    EXPECT_THROW(BuildFrame(4, 0, 123, data), FrameError);
    EXPECT_THROW(BuildWriteFrame(0, 255, data), FrameError);
    // Fewer data bytes than counted is refused too, never read past the caller's array.
    EXPECT_THROW(BuildFrame(4, 0, 3, std::vector<std::uint8_t>(2)), FrameError);
    try {
        BuildFrame(4, 0, 123, data);
    } catch (const FrameError& e) {
        EXPECT_NE(std::string(e.what()).find("123"), std::string::npos);
    }
}

TEST(FrameCodec, ReadRequestCarriesCountButNoData) {
    const auto bytes = DecodeFrameBody(Body(BuildReadFrame(0x00C0, 64)));
    ASSERT_EQ(bytes.size(), 6u);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 5);
    EXPECT_EQ(bytes[2], 0x00);
    EXPECT_EQ(bytes[3], 0xC0);
    EXPECT_EQ(bytes[4], 64);
    EXPECT_TRUE(FrameCheckOk(bytes));
}

TEST(HexConversions, ByteToHexIsUppercaseTwoDigits) {
    EXPECT_EQ(ByteToHex(0x0A), "0A");
    EXPECT_EQ(ByteToHex(0xFF), "FF");
    EXPECT_EQ(ByteToHex(0x00), "00");
    for (int b = 0; b < 256; ++b) {
        const auto h = ByteToHex(static_cast<std::uint8_t>(b));
        EXPECT_EQ(HexToByte(h[0], h[1]), b);
    }
}

TEST(HexConversions, NonHexDigitsCountAsZero) {
    EXPECT_EQ(HexToByte('4', '1'), 0x41);
    EXPECT_EQ(HexToByte('a', '1'), 0x01);
    EXPECT_EQ(HexToByte('G', 'G'), 0x00);
    EXPECT_EQ(HexToByte('F', 'f'), 0xF0);
}

TEST(HexConversions, OddBodyEndsInHighNibble) {
    EXPECT_EQ(DecodeFrameBody("01A"), (std::vector<std::uint8_t>{0x01, 0xA0}));
    EXPECT_TRUE(DecodeFrameBody("").empty());
    EXPECT_EQ(DecodeFrameBody("7"), (std::vector<std::uint8_t>{0x70}));
}

TEST(BcdConversions, BothDirections) {
    EXPECT_EQ(BcdToBin(0x59), 59);
    EXPECT_EQ(BcdToBin(0xFF), 165);
    EXPECT_EQ(BinToBcd(59), 0x59);
    EXPECT_EQ(BinToBcd(7), 0x07);
    for (int v = 0; v < 100; ++v) EXPECT_EQ(BcdToBin(BinToBcd(static_cast<std::uint8_t>(v))), v);
}

TEST(IntToZeroPadded, PadsAndCuts) {
    EXPECT_EQ(IntToZeroPadded(7, 2), "07");
    EXPECT_EQ(IntToZeroPadded(123, 2), "23");
    EXPECT_EQ(IntToZeroPadded(45, 2), "45");
    EXPECT_EQ(IntToZeroPadded(0, 3), "000");
    EXPECT_EQ(IntToZeroPadded(5, 0), "");
}

TEST(FrameCheck, DetectsSingleByteCorruption) {
    auto bytes = DecodeFrameBody(Body(BuildFrame(40, 0, 2, std::vector<std::uint8_t>{0, 3})));
    EXPECT_TRUE(FrameCheckOk(bytes));
    bytes[DataOffset] ^= 0x10;
    EXPECT_FALSE(FrameCheckOk(bytes));
    EXPECT_FALSE(FrameCheckOk({}));
}

}  // namespace
}  // namespace lum
