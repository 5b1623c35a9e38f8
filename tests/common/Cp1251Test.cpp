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

// Every malformed form is refused by both the conversion and the length count.
void ExpectRefused(std::string_view text, const char* what) {
    EXPECT_THROW(Utf8ToCp1251(text), EncodingError) << what;
    EXPECT_THROW(Utf8Length(text), EncodingError) << what;
}

TEST(Cp1251, RefusesMalformedUtf8) {
    ExpectRefused("\xFF", "not a byte of UTF-8");
    ExpectRefused("\xF8\x88\x80\x80\x80", "five-byte form");
    ExpectRefused("\xD0\x41", "bad continuation");
    ExpectRefused("\x90", "stray continuation byte");
    ExpectRefused("\xD0\x90\x90", "continuation byte after a whole character");
    ExpectRefused("A\xBF", "stray continuation byte after ASCII");
}

TEST(Cp1251, RefusesALeadByteWhereAContinuationByteBelongs) {
    // Taken as continuation bytes, these would decode to Cyrillic letters of the code page.
    ExpectRefused("\xD0\xD0", "two-byte lead after a two-byte lead");
    ExpectRefused("\xD0\xE0\x90", "three-byte lead inside a two-byte character");
    ExpectRefused("\xE0\xD0\x90", "two-byte lead inside a three-byte character");
    ExpectRefused("\xE2\x84\xC0", "two-byte lead as the last byte of a three-byte character");
    ExpectRefused("\xF0\x90\xD0\x80", "lead byte inside a four-byte character");
}

TEST(Cp1251, RefusesACharacterCutOffByTheEndOfTheText) {
    ExpectRefused("\xD0", "cut-off two-byte character");
    ExpectRefused("\xE2\x82", "cut-off three-byte character");
    ExpectRefused("\xE2", "three-byte lead alone");
    ExpectRefused("\xF0\x9F\x98", "cut-off four-byte character");
    ExpectRefused("\xC3", "cut-off two-byte character");
    // The text ends where the view ends, even when the memory behind it would complete the
    // character: nothing past the end is read.
    const std::string memory = "\xD0\x90\xE2\x84\x96";  // "А№"
    ExpectRefused(std::string_view(memory).substr(0, 1), "view ends after the lead byte");
    ExpectRefused(std::string_view(memory).substr(2, 2), "view ends inside a three-byte character");
    ExpectRefused(std::string_view(memory).substr(0, 4), "second character cut by the view");
    EXPECT_EQ(Utf8ToCp1251(std::string_view(memory).substr(0, 2)), "\xC0");
    EXPECT_EQ(Utf8ToCp1251(memory), "\xC0\xB9");
}

TEST(Cp1251, RefusesOverlongForms) {
    ExpectRefused("\xC0\xBB", "';' in two bytes");
    ExpectRefused("\xC0\x80", "NUL in two bytes");
    ExpectRefused("\xC1\xBF", "DEL in two bytes");
    ExpectRefused("\xE0\x90\x90", "'А' (U+0410) in three bytes");
    ExpectRefused("\xE0\x80\xBB", "';' in three bytes");
    ExpectRefused("\xE0\x9F\xBF", "U+07FF in three bytes");
    ExpectRefused("\xF0\x80\x90\x90", "'А' in four bytes");
    ExpectRefused("\xF0\x8F\xBF\xBF", "U+FFFF in four bytes");
    // The shortest forms of the same edges are accepted.
    EXPECT_EQ(Utf8Length("\xC2\x80"), 1u);
    EXPECT_EQ(Utf8Length("\xDF\xBF"), 1u);
    EXPECT_EQ(Utf8Length("\xE0\xA0\x80"), 1u);
    EXPECT_EQ(Utf8Length("\xEF\xBF\xBF"), 1u);
    EXPECT_EQ(Utf8Length("\xF0\x90\x80\x80"), 1u);
    EXPECT_EQ(Utf8ToCp1251("\xD0\x90;"), "\xC0;");
}

TEST(Cp1251, RefusesSurrogatesAndCodePointsAboveTheLast) {
    ExpectRefused("\xED\xA0\x80", "U+D800");
    ExpectRefused("\xED\xBF\xBF", "U+DFFF");
    ExpectRefused("\xF4\x90\x80\x80", "U+110000");
    ExpectRefused("\xF7\xBF\xBF\xBF", "U+1FFFFF");
    EXPECT_EQ(Utf8Length("\xED\x9F\xBF"), 1u);      // U+D7FF
    EXPECT_EQ(Utf8Length("\xEE\x80\x80"), 1u);      // U+E000
    EXPECT_EQ(Utf8Length("\xF4\x8F\xBF\xBF"), 1u);  // U+10FFFF
}

TEST(Cp1251, RefusalNamesTheFault) {
    try {
        Utf8ToCp1251("ok \xC0\xBB");
        FAIL() << "expected an encoding error";
    } catch (const EncodingError& e) {
        EXPECT_NE(std::string(e.what()).find("UTF-8"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace lum
