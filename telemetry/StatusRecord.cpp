#include "telemetry/StatusRecord.h"

#include "link/FrameCodec.h"

namespace lum {

const std::array<FlagLampInfo, kFlagLampCount> kFlagLamps = {{
    {"3ф сеть", false, 0x01},
    {"дистанц. запуск", false, 0x02},
    {"тестовый запуск", false, 0x04},
    {"частота ГУ", false, 0x08},
    {"Период ТО", true, 0x01},
    {"АКБ ГУ", true, 0x02},
    {"АКБ ИБП", true, 0x04},
    {"Работа/отдых", true, 0x08},
    {"Еженедельный", true, 0x10},
    {"Контроль КЗ", true, 0x20},
    {"GSM модем", true, 0x40},
    {"Термодатчик", true, 0x80},
    {"GPRS", false, 0x10},
}};

namespace {

// Offsets inside the data field.
enum Offset : int {
    kModel = 0,
    kFlagsA = 2,
    kFlagsB = 3,
    kMode = 4,
    kWorkMode = 5,
    kStateTimer = 6,
    kVoltageGU = 8,
    kVoltageA = 9,
    kVoltageB = 10,
    kVoltageC = 11,
    kVoltageACC = 15,
    kVoltageUPS = 17,
    kMotorMinutes = 21,
    kMinutesToService = 25,
    kClockHours = 27,
    kClockMinutes = 28,
    kClockSeconds = 29,
    kSignalQuality = 30,
    kRegistration = 31,
    kTemperature1 = 32,
};

constexpr std::uint8_t kMaxSignalQuality = 31;

std::string TwoDigits(long long value) {
    return IntToZeroPadded(value, 2);
}

}  // namespace

int VoltageFromCode(std::uint8_t code) {
    return code < 50 ? 0 : code + 50;
}

std::optional<StatusRecord> ParseStatusRecord(std::span<const std::uint8_t> frame) {
    // Header, the 36 data bytes and the check byte behind them.
    if (frame.size() < static_cast<std::size_t>(DataOffset + kStatusDataLength + 1)) return std::nullopt;
    const auto data = frame.subspan(DataOffset, kStatusDataLength);
    auto u16 = [&](int at) { return static_cast<std::uint16_t>((data[at] << 8) | data[at + 1]); };

    StatusRecord r;
    r.ModelCode = data[kModel];
    r.FlagsA = data[kFlagsA];
    r.FlagsB = data[kFlagsB];
    r.Mode = data[kMode];
    r.WORK_MODE = data[kWorkMode];
    r.StateTimer = u16(kStateTimer);
    r.VoltageGU = VoltageFromCode(data[kVoltageGU]);
    r.VoltageA = VoltageFromCode(data[kVoltageA]);
    r.VoltageB = VoltageFromCode(data[kVoltageB]);
    r.VoltageC = VoltageFromCode(data[kVoltageC]);
    r.VoltageACC = u16(kVoltageACC);
    r.VoltageUPS = u16(kVoltageUPS);
    const std::uint32_t motor = (static_cast<std::uint32_t>(data[kMotorMinutes]) << 24) |
                                (static_cast<std::uint32_t>(data[kMotorMinutes + 1]) << 16) |
                                (static_cast<std::uint32_t>(data[kMotorMinutes + 2]) << 8) |
                                data[kMotorMinutes + 3];
    r.MotorMinutes = static_cast<std::int32_t>(motor);
    r.MinutesToService = u16(kMinutesToService);
    r.ClockHours = BcdToBin(data[kClockHours]);
    r.ClockMinutes = BcdToBin(data[kClockMinutes]);
    r.ClockSeconds = BcdToBin(data[kClockSeconds]);
    r.SignalQuality = data[kSignalQuality] > kMaxSignalQuality ? 0 : data[kSignalQuality];
    r.NetworkRegistration = data[kRegistration];
    r.Temperature1 = static_cast<std::int8_t>(data[kTemperature1]);
    r.Temperature2 = static_cast<std::int8_t>(data[kTemperature1 + 1]);
    r.Temperature3 = static_cast<std::int8_t>(data[kTemperature1 + 2]);
    r.Temperature4 = static_cast<std::int8_t>(data[kTemperature1 + 3]);
    for (int i = 0; i < kFlagLampCount; ++i) {
        const FlagLampInfo& lamp = kFlagLamps[i];
        r.Flags[i] = ((lamp.inFlagsB ? r.FlagsB : r.FlagsA) & lamp.mask) != 0;
    }
    r.SemiAuto = (r.FlagsA & kSemiAutoMask) != 0;
    return r;
}

std::string FormatStateTimer(std::uint16_t seconds) {
    return TwoDigits(seconds / 3600) + ":" + TwoDigits(seconds % 3600 / 60) + ":" + TwoDigits(seconds % 60);
}

std::string StartStepText(std::uint8_t step) {
    switch (step) {
        case 0:
            return "останов  ";
        case 1:
            return "клапан   ";
        case 2:
        case 3:
        case 5:
        case 6:
            return "заслонка ";
        case 4:
            return "стартер  ";
        default:
            return "";
    }
}

std::optional<std::string> StateText(std::uint8_t workMode, std::uint16_t stateTimer) {
    const std::string br = "\n\r";
    const std::string t = FormatStateTimer(stateTimer);
    switch (workMode) {
        case 0:
            return "Питание от сети";
        case 1:
            return "Пропадание сети" + br + t;
        case 2:
            return "Появление сети" + br + t;
        case 3: {
            const int step = stateTimer & 0xFF;
            const int attempt = (stateTimer >> 8) + 1;
            return "Запуск ГУ" + br + StartStepText(static_cast<std::uint8_t>(step)) +
                   "N:" + std::to_string(attempt);
        }
        case 4:
            return "Прогрев ГУ" + br + t;
        case 5:
            return "Работа ГУ" + br + t;
        case 6:
            return "Отдых ГУ" + br + t;
        case 7:
            return "Появление сети" + br + t;
        case 8:
            return "Охлаждение ГУ" + br + t;
        case 9:
            return "Останов ГУ";
        case 10:
            return "Работа ИБП" + br + t;
        case 11:
            return "Охлаждение ГУ nl" + br + t;
        case 12:
            return "Останов ГУ nl";
        case 13:
            return "Короткое замыкание";
        case 14:
            return "Авария:" + br + "нет запуска ГУ";
        case 15:
            return "Авария:" + br + "разряд АКБ ГУ";
        case 16:
            return "Авария:" + br + "произвольный останов ГУ";
        case 17:
            return "Авария:" + br + "нет останова ГУ";
        case 18:
            return "Авария:" + br + "нет импульсов магнето";
        case 19:
            return "Авария:" + br + "нет напряжения альтернатора";
        case 20:
            return "Авария:" + br + "частота ГУ вне диапазона";
        case 21:
            return "Авария:" + br + "короткое замыкание";
        case 22:
            return "Uгу ниже нормы" + br + t;
        case 23:
            return "Uгу выше нормы" + br + t;
        case 24:
            return "Авария:" + br + "Uгу ниже нормы";
        case 25:
            return "Авария:" + br + "Uгу выше нормы";
        case 26:
            return "Режим ожидания" + br + t;
        default:
            return std::nullopt;
    }
}

std::optional<std::string> RegistrationText(std::uint8_t code) {
    switch (code) {
        case 0:
            return "Не зарегистрирован.\n\rПоиск сети не ведется";
        case 1:
            return "Зарегистрирован\n\rв домашней сети";
        case 2:
            return "Не зарегистрирован\n\rПоиск сети";
        case 3:
            return "Регистрация отклонена";
        case 4:
            return "Хер значет че происходит";
        case 5:
            return "Зарегистрирован\n\rв роуминге";
        default:
            return std::nullopt;
    }
}

std::string FormatHoursMinutes(std::int32_t minutes) {
    return std::to_string(minutes / 60) + "ч " + std::to_string(minutes % 60) + "м";
}

std::string FormatClock(const StatusRecord& record) {
    return TwoDigits(record.ClockHours) + ":" + TwoDigits(record.ClockMinutes) + ":" +
           TwoDigits(record.ClockSeconds);
}

}  // namespace lum
