#include "common/Cp1251.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(Cp1251, RoundTripOfRussianText) {
    const std::string text = "ПО Конфигуратор v2a: Ёлка, ёж, №5, «кавычки» — тире";
    const std::string bytes = Utf8ToCp1251(text);
    EXPECT_EQ(bytes.size(), Utf8Length(text));
    EXPECT_EQ(Cp1251ToUtf8(bytes), text);
}

TEST(Cp1251, KnownBytes) {
    EXPECT_EQ(Utf8ToCp1251("А"), "\xC0");
    EXPECT_EQ(Utf8ToCp1251("я"), "\xFF");
    EXPECT_EQ(Utf8ToCp1251("Ё"), "\xA8");
    EXPECT_EQ(Utf8ToCp1251("№"), "\xB9");
    EXPECT_EQ(Utf8ToCp1251("ABC 123"), "ABC 123");
    EXPECT_EQ(Cp1251ToUtf8("\xC0\xE1\xE2"), "Абв");
}

TEST(Cp1251, EveryDefinedByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) continue;  // the one byte without a character
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(one)), one) << "byte " << b;
    }
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
}

TEST(Cp1251, RefusesCharacterOutsideTheCodePageAndNamesIt) {
    try {
        Utf8ToCp1251("abc€日");
        FAIL() << "expected an encoding error";
    } catch (const EncodingError& e) {
        const std::string msg = e.what();
        EXPECT_NE(msg.find("日"), std::string::npos) << msg;
        EXPECT_NE(msg.find("U+65E5"), std::string::npos) << msg;
    }
    EXPECT_THROW(Utf8ToCp1251("ÿ"), EncodingError);  // U+00FF: Latin, not in 1251
}

TEST(Cp1251, RefusesMalformedUtf8) {
    EXPECT_THROW(Utf8ToCp1251("\xD0"), EncodingError);        // cut-off two-byte character
    EXPECT_THROW(Utf8ToCp1251("\xE2\x82"), EncodingError);    // cut-off three-byte character
    EXPECT_THROW(Utf8ToCp1251("\xFF"), EncodingError);
    EXPECT_THROW(Utf8ToCp1251("\xD0\x41"), EncodingError);    // bad continuation
    EXPECT_THROW(Utf8Length("\xC3"), EncodingError);
}

}  // namespace
}  // namespace lum
