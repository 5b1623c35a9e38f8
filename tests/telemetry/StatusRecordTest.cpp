#include <gtest/gtest.h>

#include <set>

#include "StatusFrame.h"
#include "common/Cp1251.h"
#include "telemetry/StatusRecord.h"

namespace lum {
namespace {

using test::StatusFrame;

StatusRecord Parse(const StatusFrame& f) {
    const auto bytes = f.Bytes();
    auto r = ParseStatusRecord(bytes);
    EXPECT_TRUE(r.has_value());
    return r.value_or(StatusRecord{});
}

TEST(StatusRecord, VoltageCodesBelowFiftyReadZeroOthersAddFifty) {
    EXPECT_EQ(VoltageFromCode(0), 0);
    EXPECT_EQ(VoltageFromCode(49), 0);
    EXPECT_EQ(VoltageFromCode(50), 100);
    EXPECT_EQ(VoltageFromCode(170), 220);
    EXPECT_EQ(VoltageFromCode(255), 305);

    // Each phase comes from its own byte: GU 8, A 9, B 10, C 11.
    const auto r = Parse(StatusFrame().Set(8, 180).Set(9, 49).Set(10, 50).Set(11, 170));
    EXPECT_EQ(r.VoltageGU, 230);
    EXPECT_EQ(r.VoltageA, 0);
    EXPECT_EQ(r.VoltageB, 100);
    EXPECT_EQ(r.VoltageC, 220);
}

TEST(StatusRecord, SixteenAndThirtyTwoBitFieldsAreBigEndian) {
    const auto r = Parse(StatusFrame()
                             .Timer(0x0102)
                             .Set16(15, 135)     // battery 13.5 V
                             .Set16(17, 0x0110)  // UPS 27.2 V
                             .Set32(21, 12345)
                             .Set16(25, 59));
    EXPECT_EQ(r.StateTimer, 0x0102);
    EXPECT_EQ(r.StartStep(), 0x02);
    EXPECT_EQ(r.StartAttempt(), 0x01);
    EXPECT_DOUBLE_EQ(r.AccVolts(), 13.5);
    EXPECT_DOUBLE_EQ(r.UpsVolts(), 27.2);
    EXPECT_EQ(r.MotorMinutes, 12345);
    EXPECT_EQ(FormatHoursMinutes(r.MotorMinutes), "205ч 45м");
    EXPECT_EQ(FormatHoursMinutes(r.MinutesToService), "0ч 59м");
}

TEST(StatusRecord, MotorMinutesAreSigned) {
    EXPECT_EQ(Parse(StatusFrame().Set32(21, 0xFFFFFFFFu)).MotorMinutes, -1);
    EXPECT_EQ(Parse(StatusFrame().Set32(21, 0x80000000u)).MotorMinutes, INT32_MIN);
    EXPECT_EQ(Parse(StatusFrame().Set32(21, 0x7FFFFFFFu)).MotorMinutes, INT32_MAX);
    EXPECT_EQ(FormatHoursMinutes(-61), "-1ч -1м");
    EXPECT_EQ(FormatHoursMinutes(60), "1ч 0м");
}

TEST(StatusRecord, ClockIsPackedBcdWithTwoDigitsEach) {
    const auto r = Parse(StatusFrame().Set(27, 0x23).Set(28, 0x59).Set(29, 0x07));
    EXPECT_EQ(FormatClock(r), "23:59:07");
    // Nibbles above 9 are not rejected; a three-digit result keeps its last two digits.
    const auto odd = Parse(StatusFrame().Set(27, 0xFF).Set(28, 0x00).Set(29, 0x0A));
    EXPECT_EQ(odd.ClockHours, 165);
    EXPECT_EQ(FormatClock(odd), "65:00:10");
}

TEST(StatusRecord, SignalAboveThirtyOneCountsAsZero) {
    EXPECT_EQ(Parse(StatusFrame().Set(30, 99)).SignalQuality, 0);
    EXPECT_EQ(Parse(StatusFrame().Set(30, 99)).SignalDbm(), -113);
    EXPECT_EQ(Parse(StatusFrame().Set(30, 200)).SignalDbm(), -113);
    EXPECT_EQ(Parse(StatusFrame().Set(30, 32)).SignalDbm(), -113);
    EXPECT_EQ(Parse(StatusFrame().Set(30, 31)).SignalDbm(), -51);
    EXPECT_EQ(Parse(StatusFrame().Set(30, 20)).SignalDbm(), -73);
    EXPECT_EQ(Parse(StatusFrame().Set(30, 0)).SignalDbm(), -113);
}

TEST(StatusRecord, TemperaturesAreSignedBytes) {
    const auto r = Parse(StatusFrame().Set(32, 0xF6).Set(33, 0x7F).Set(34, 0x80).Set(35, 25));
    EXPECT_EQ(r.Temperature1, -10);
    EXPECT_EQ(r.Temperature2, 127);
    EXPECT_EQ(r.Temperature3, -128);
    EXPECT_EQ(r.Temperature4, 25);
}

TEST(StatusRecord, FlagBytesLightTheirLampsInTableOrder) {
    auto lit = [](const StatusRecord& r) {
        std::set<FlagLamp> s;
        for (int i = 0; i < kFlagLampCount; ++i)
            if (r.Flags[i]) s.insert(static_cast<FlagLamp>(i));
        return s;
    };
    EXPECT_EQ(lit(Parse(StatusFrame().FlagsB(0x81))),
              (std::set<FlagLamp>{FlagLamp::ServicePeriod, FlagLamp::Thermo}));
    EXPECT_EQ(lit(Parse(StatusFrame().FlagsA(0x10))), (std::set<FlagLamp>{FlagLamp::Gprs}));
    EXPECT_EQ(lit(Parse(StatusFrame().FlagsA(0x0F))),
              (std::set<FlagLamp>{FlagLamp::ThreeLine, FlagLamp::DirectStart, FlagLamp::SmartStart,
                                  FlagLamp::GuFreq}));
    // Bits 5-7 of FlagsA light nothing; bit 5 is the semi-automatic mode.
    const auto semi = Parse(StatusFrame().FlagsA(0xE0));
    EXPECT_TRUE(lit(semi).empty());
    EXPECT_TRUE(semi.SemiAuto);
    EXPECT_FALSE(Parse(StatusFrame().FlagsA(0xDF)).SemiAuto);
    // Every bit of FlagsB lights exactly one lamp, each a different one.
    std::set<FlagLamp> seen;
    for (int bit = 0; bit < 8; ++bit) {
        const auto s = lit(Parse(StatusFrame().FlagsB(static_cast<std::uint8_t>(1 << bit))));
        ASSERT_EQ(s.size(), 1u) << bit;
        seen.insert(*s.begin());
    }
    EXPECT_EQ(seen.size(), 8u);
    EXPECT_STREQ(kFlagLamps[static_cast<int>(FlagLamp::ServicePeriod)].caption, "Период ТО");
    EXPECT_STREQ(kFlagLamps[static_cast<int>(FlagLamp::Gprs)].caption, "GPRS");
}

TEST(StatusRecord, ShortFrameIsRefusedInsteadOfReadingStaleBytes) {
    auto bytes = StatusFrame().Bytes();
    ASSERT_EQ(bytes.size(), 42u);
    EXPECT_TRUE(ParseStatusRecord(bytes).has_value());
    bytes.pop_back();  // 35 data bytes and a check byte
    EXPECT_FALSE(ParseStatusRecord(bytes).has_value());
    EXPECT_FALSE(ParseStatusRecord(std::span<const std::uint8_t>{}).has_value());
    const std::vector<std::uint8_t> headerOnly = {1, 21, 0, 0, 36, 0};
    EXPECT_FALSE(ParseStatusRecord(headerOnly).has_value());
    // Bytes after the record are ignored.
    auto longer = StatusFrame().Set(35, 7).Bytes();
    longer.insert(longer.end(), {9, 9, 9});
    EXPECT_EQ(ParseStatusRecord(longer)->Temperature4, 7);
}

TEST(StatusRecord, StateTimerFormatsAsHoursMinutesSeconds) {
    EXPECT_EQ(FormatStateTimer(0), "00:00:00");
    EXPECT_EQ(FormatStateTimer(3725), "01:02:05");
    EXPECT_EQ(FormatStateTimer(59), "00:00:59");
    EXPECT_EQ(FormatStateTimer(3600 * 18 + 12 * 60 + 15), "18:12:15");
    EXPECT_EQ(FormatStateTimer(65535), "18:12:15");
}

TEST(StatusRecord, StateTextsBreakWithLineFeedThenCarriageReturn) {
    EXPECT_EQ(StateText(0, 3725), "Питание от сети");
    EXPECT_EQ(StateText(1, 3725),
              "Пропадание сети\x0A\x0D"
              "01:02:05");
    EXPECT_EQ(StateText(5, 61), "Работа ГУ\n\r00:01:01");
    EXPECT_EQ(StateText(14, 61), "Авария:\n\rнет запуска ГУ");
    EXPECT_EQ(StateText(22, 0), "Uгу ниже нормы\n\r00:00:00");
    EXPECT_EQ(StateText(26, 10), "Режим ожидания\n\r00:00:10");
    // States 2 and 7 read alike; 11 and 12 carry the "nl" mark.
    EXPECT_EQ(StateText(2, 1), StateText(7, 1));
    EXPECT_EQ(StateText(11, 1), "Охлаждение ГУ nl\n\r00:00:01");
    EXPECT_EQ(StateText(12, 1), "Останов ГУ nl");
    // Every code 0-26 has a text; 27 and above have none.
    for (int s = 0; s <= 26; ++s) EXPECT_TRUE(StateText(static_cast<std::uint8_t>(s), 0).has_value()) << s;
    EXPECT_FALSE(StateText(27, 0).has_value());
    EXPECT_FALSE(StateText(255, 0).has_value());
}

// The text of every state code, each on its own (a text given to the wrong code shows a
// wrong state on the page). "+T" marks the texts followed by the state timer.
TEST(StatusRecord, EveryStateCodeHasItsOwnText) {
    struct State {
        int code;
        const char* text;
        bool timer;
    };
    const State kStates[] = {
        {0, "Питание от сети", false},
        {1, "Пропадание сети\n\r", true},
        {2, "Появление сети\n\r", true},
        {4, "Прогрев ГУ\n\r", true},
        {5, "Работа ГУ\n\r", true},
        {6, "Отдых ГУ\n\r", true},
        {7, "Появление сети\n\r", true},
        {8, "Охлаждение ГУ\n\r", true},
        {9, "Останов ГУ", false},
        {10, "Работа ИБП\n\r", true},
        {11, "Охлаждение ГУ nl\n\r", true},
        {12, "Останов ГУ nl", false},
        {13, "Короткое замыкание", false},
        {14, "Авария:\n\rнет запуска ГУ", false},
        {15, "Авария:\n\rразряд АКБ ГУ", false},
        {16, "Авария:\n\rпроизвольный останов ГУ", false},
        {17, "Авария:\n\rнет останова ГУ", false},
        {18, "Авария:\n\rнет импульсов магнето", false},
        {19, "Авария:\n\rнет напряжения альтернатора", false},
        {20, "Авария:\n\rчастота ГУ вне диапазона", false},
        {21, "Авария:\n\rкороткое замыкание", false},
        {22, "Uгу ниже нормы\n\r", true},
        {23, "Uгу выше нормы\n\r", true},
        {24, "Авария:\n\rUгу ниже нормы", false},
        {25, "Авария:\n\rUгу выше нормы", false},
        {26, "Режим ожидания\n\r", true},
    };
    const std::uint16_t timer = 45296;  // 12:34:56
    for (const State& s : kStates) {
        const std::string expected = std::string(s.text) + (s.timer ? "12:34:56" : "");
        EXPECT_EQ(StateText(static_cast<std::uint8_t>(s.code), timer), expected) << "state " << s.code;
    }
    // State 3 (the start) is built from the timer's bytes; see the start step test.
    EXPECT_EQ(StateText(3, 0x0203), "Запуск ГУ\n\rзаслонка N:3");
    for (int code = 27; code <= 255; ++code) {
        EXPECT_FALSE(StateText(static_cast<std::uint8_t>(code), timer).has_value()) << "state " << code;
    }
}

TEST(StatusRecord, StartStepShowsStepTextAndAttemptCountedFromOne) {
    EXPECT_EQ(StateText(3, 0x0104), "Запуск ГУ\n\rстартер  N:2");
    EXPECT_EQ(StateText(3, 0x0009), "Запуск ГУ\n\rN:1");
    EXPECT_EQ(StateText(3, 0xFF00), "Запуск ГУ\n\rостанов  N:256");
    for (int step = 0; step <= 6; ++step)
        EXPECT_EQ(Utf8Length(StartStepText(static_cast<std::uint8_t>(step))), 9u);
    EXPECT_EQ(StartStepText(1), "клапан   ");
    EXPECT_EQ(StartStepText(2), "заслонка ");
    EXPECT_EQ(StartStepText(6), "заслонка ");
    EXPECT_EQ(StartStepText(7), "");
}

TEST(StatusRecord, RegistrationTexts) {
    EXPECT_EQ(RegistrationText(0), "Не зарегистрирован.\n\rПоиск сети не ведется");
    EXPECT_EQ(RegistrationText(1), "Зарегистрирован\n\rв домашней сети");
    EXPECT_EQ(RegistrationText(5), "Зарегистрирован\n\rв роуминге");
    EXPECT_EQ(RegistrationText(3), "Регистрация отклонена");
    EXPECT_FALSE(RegistrationText(6).has_value());
    EXPECT_FALSE(RegistrationText(255).has_value());
}

}  // namespace
}  // namespace lum
