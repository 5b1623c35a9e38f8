// The edit dialog's value checks and the gauge limit marks, as the window and the
// command-line tool both apply them.
#include <gtest/gtest.h>

#include "params/GaugeThresholds.h"
#include "params/ValueCheck.h"

namespace lum {
namespace {

TEST(LocaleNumber, DecimalSeparatorIsTheSystemsOnly) {
    EXPECT_EQ(ParseLocaleNumber("12,5", ','), 12.5);
    EXPECT_FALSE(ParseLocaleNumber("12.5", ','));
    EXPECT_EQ(ParseLocaleNumber("12.5", '.'), 12.5);
    EXPECT_FALSE(ParseLocaleNumber("12,5", '.'));
    EXPECT_FALSE(ParseLocaleNumber("1,2,3", ','));
}

TEST(LocaleNumber, SignsBlanksExponentAndRefusals) {
    EXPECT_EQ(ParseLocaleNumber("+70", '.'), 70);
    EXPECT_EQ(ParseLocaleNumber("-30", '.'), -30);
    EXPECT_EQ(ParseLocaleNumber("  7 ", '.'), 7);
    EXPECT_EQ(ParseLocaleNumber("1e3", '.'), 1000);
    EXPECT_EQ(ParseLocaleNumber(",5", ','), 0.5);
    EXPECT_EQ(ParseLocaleNumber("0000000000", '.'), 0);
    EXPECT_EQ(ParseLocaleNumber("9999999999", '.'), 9999999999.0);
    for (const char* bad : {"", " ", "-", "+", "abc", "12a", "1e", "1e+", ",", "1 2", "--1", "0x10"})
        EXPECT_FALSE(ParseLocaleNumber(bad, ',')) << bad;
}

TEST(NumberCheck, LimitsPassOutsideWarns) {
    EXPECT_EQ(CheckNumberValue("160", "160", "220", ','), std::nullopt);
    EXPECT_EQ(CheckNumberValue("220", "160", "220", ','), std::nullopt);
    EXPECT_EQ(CheckNumberValue("159", "160", "220", ','), "Значение вне диапазона");
    EXPECT_EQ(CheckNumberValue("221", "160", "220", ','), "Значение вне диапазона");
    EXPECT_EQ(CheckNumberValue("abc", "160", "220", ','), "Значение должно быть числом");
    EXPECT_EQ(CheckNumberValue("-30", "-30", "+70", ','), std::nullopt);
    EXPECT_EQ(CheckNumberValue("-31", "-30", "+70", ','), "Значение вне диапазона");
    // A fraction inside the limits passes here and is refused by packing.
    EXPECT_EQ(CheckNumberValue("12,5", "0", "240", ','), std::nullopt);
    EXPECT_EQ(CheckNumberValue("12.5", "0", "240", ','), "Значение должно быть числом");
    // Telephone numbers: only their numeric value is bounded.
    EXPECT_EQ(CheckNumberValue("123", "0000000000", "9999999999", ','), std::nullopt);
    EXPECT_EQ(CheckNumberValue("10000000000", "0000000000", "9999999999", ','), "Значение вне диапазона");
    // Rows without limits (login, password, access point) take anything.
    EXPECT_EQ(CheckNumberValue("", "", "", ','), std::nullopt);
    EXPECT_EQ(CheckNumberValue("any text", "", "", ','), std::nullopt);
}

TEST(NewValueCheck, ByKind) {
    EXPECT_EQ(CheckNewValue("1", "159", "160", "220", ','), "Значение вне диапазона");
    EXPECT_EQ(CheckNewValue("5", "-30", "-30", "+70", ','), std::nullopt);
    EXPECT_EQ(CheckNewValue("2", "вкл.", "", "", ','), std::nullopt);
    EXPECT_EQ(CheckNewValue("8", "с подключ. нагр.", "", "", ','), std::nullopt);
    const auto notItem = CheckNewValue("2", "on", "", "", ',');
    ASSERT_TRUE(notItem);
    EXPECT_NE(notItem->find("«выкл.», «вкл.»"), std::string::npos) << *notItem;
    EXPECT_TRUE(CheckNewValue("7", "вкл.", "", "", ','));  // an item of another list
    EXPECT_TRUE(CheckNewValue("0", "1", "", "", ','));
    EXPECT_TRUE(CheckNewValue("255", "1", "", "", ','));
    EXPECT_TRUE(CheckNewValue("", "1", "", "", ','));
}

TEST(ChoiceLists, ItemsOfEveryKind) {
    EXPECT_EQ(ChoiceItems(KindOnOff).size(), 2u);
    EXPECT_EQ(ChoiceItems(KindLanguage)[1], "рус.");
    EXPECT_EQ(ChoiceItems(KindMessageType)[2], "все события");
    EXPECT_EQ(ChoiceItems(KindEngineType)[2], "сухой контакт");
    EXPECT_EQ(ChoiceItems(KindAccessLevel)[1], "информир.");
    EXPECT_EQ(ChoiceItems(KindTestLoad)[1], "без подключ. нагр.");
    for (std::int32_t k : {KindGroup, KindNumber, KindSignedNumber, KindReadOnly, 9}) EXPECT_FALSE(IsChoiceKind(k)) << k;
    EXPECT_TRUE(IsTextEditKind(KindNumber));
    EXPECT_TRUE(IsTextEditKind(KindSignedNumber));
    EXPECT_FALSE(IsTextEditKind(KindOnOff));
}

TEST(GaugeMarks, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(TenthsToNearestEven(25), 2);
    EXPECT_EQ(TenthsToNearestEven(35), 4);
    EXPECT_EQ(TenthsToNearestEven(34), 3);
    EXPECT_EQ(TenthsToNearestEven(36), 4);
    EXPECT_EQ(TenthsToNearestEven(125), 12);
    EXPECT_EQ(TenthsToNearestEven(135), 14);
    EXPECT_EQ(TenthsToNearestEven(5), 0);
    EXPECT_EQ(TenthsToNearestEven(15), 2);
}

TEST(GaugeMarks, UpsScaleBands) {
    using S = GaugeThresholds::Scale;
    auto is = [](std::optional<S> s, double lo, double hi) { return s && s->Min == lo && s->Max == hi; };
    EXPECT_TRUE(is(UpsScaleFor(0), 8, 16));
    EXPECT_TRUE(is(UpsScaleFor(159), 8, 16));
    EXPECT_TRUE(is(UpsScaleFor(160), 16, 32));
    EXPECT_TRUE(is(UpsScaleFor(319), 16, 32));
    EXPECT_TRUE(is(UpsScaleFor(320), 32, 64));
    EXPECT_TRUE(is(UpsScaleFor(639), 32, 64));
    EXPECT_TRUE(is(UpsScaleFor(640), 64, 120));
    EXPECT_TRUE(is(UpsScaleFor(1199), 64, 120));
    EXPECT_FALSE(UpsScaleFor(1200));
    EXPECT_FALSE(UpsScaleFor(65535));
}

TEST(GaugeMarks, FromTheImage) {
    ConfigImage image = ErasedImage();
    auto word = [&](std::size_t a, int v) {
        image[a] = static_cast<std::uint8_t>(v >> 8);
        image[a + 1] = static_cast<std::uint8_t>(v);
    };
    word(32, 175);
    word(34, 265);
    word(36, 170);
    word(38, 270);
    word(40, 115);
    word(42, 105);   // 10.5 -> 10
    word(44, 1235);  // 123.5 -> 124, scale unchanged
    image[15] = 226;  // -30
    const GaugeThresholds t = ComputeGaugeThresholds(image);
    EXPECT_EQ(t.GuEnd1, 175);
    EXPECT_EQ(t.GuEnd2, 265);
    EXPECT_EQ(t.MainsEnd1, 170);
    EXPECT_EQ(t.MainsEnd2, 270);
    EXPECT_EQ(t.TemperatureEnd1, -30);
    EXPECT_DOUBLE_EQ(t.AccEnd1, 11.5);
    EXPECT_EQ(t.UpsEnd1, 10);
    EXPECT_EQ(t.UpsEnd2, 124);
    EXPECT_FALSE(t.UpsScale);
    word(44, 150);
    EXPECT_EQ(ComputeGaugeThresholds(image).UpsEnd2, 15);
    EXPECT_EQ(ComputeGaugeThresholds(image).UpsScale->Max, 16);
}

}  // namespace
}  // namespace lum
