#pragma once
// The controller's status message (kind 1, code 21): its 36 data bytes, the conversion of
// each field and the tables that turn codes into the texts shown on the measurements page.
//
// Pure functions and plain data, any thread (the program uses them on the main thread).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lum {

inline constexpr int kStatusDataLength = 36;

// The thirteen flag lamps, in the order the page updates them: FlagsA bits 0-3, FlagsB bits
// 0-7, then FlagsA bit 4.
enum class FlagLamp : int {
    ThreeLine = 0,      // FlagsA 0x01, "3ф сеть"
    DirectStart,        // FlagsA 0x02, "дистанц. запуск"
    SmartStart,         // FlagsA 0x04, "тестовый запуск"
    GuFreq,             // FlagsA 0x08, "частота ГУ"
    ServicePeriod,      // FlagsB 0x01, "Период ТО"
    AccVoltageControl,  // FlagsB 0x02, "АКБ ГУ"
    UpsVoltageControl,  // FlagsB 0x04, "АКБ ИБП"
    WorkSleep,          // FlagsB 0x08, "Работа/отдых"
    TestStart,          // FlagsB 0x10, "Еженедельный"
    Short,              // FlagsB 0x20, "Контроль КЗ"
    GsmActivity,        // FlagsB 0x40, "GSM модем"
    Thermo,             // FlagsB 0x80, "Термодатчик"
    Gprs,               // FlagsA 0x10, "GPRS"
};
inline constexpr int kFlagLampCount = 13;

struct FlagLampInfo {
    const char* caption;
    bool inFlagsB;  // false: FlagsA
    std::uint8_t mask;
};
// Indexed by FlagLamp.
extern const std::array<FlagLampInfo, kFlagLampCount> kFlagLamps;

// FlagsA bit 5: with Mode 2, the controller runs semi-automatic.
inline constexpr std::uint8_t kSemiAutoMask = 0x20;

struct StatusRecord {
    std::uint8_t ModelCode = 0;
    std::uint8_t FlagsA = 0;
    std::uint8_t FlagsB = 0;
    std::uint8_t Mode = 0;       // 1 manual, 2 automatic
    std::uint8_t WORK_MODE = 0;  // state code
    std::uint16_t StateTimer = 0;
    // Voltages in volts after conversion of the codes (0, or 100-305).
    int VoltageGU = 0;
    int VoltageA = 0;
    int VoltageB = 0;
    int VoltageC = 0;
    std::uint16_t VoltageACC = 0;  // tenths of a volt
    std::uint16_t VoltageUPS = 0;  // tenths of a volt
    std::int32_t MotorMinutes = 0;
    std::uint16_t MinutesToService = 0;
    // Clock, already converted from packed BCD (nibbles above 9 are not rejected).
    std::uint8_t ClockHours = 0;
    std::uint8_t ClockMinutes = 0;
    std::uint8_t ClockSeconds = 0;
    std::uint8_t SignalQuality = 0;  // 0-31; anything above 31 is stored as 0
    std::uint8_t NetworkRegistration = 0;
    std::int8_t Temperature1 = 0;
    std::int8_t Temperature2 = 0;
    std::int8_t Temperature3 = 0;
    std::int8_t Temperature4 = 0;
    // FlagsA and FlagsB split into their bits, indexed by FlagLamp.
    std::array<bool, kFlagLampCount> Flags{};
    bool SemiAuto = false;  // FlagsA bit 5

    // Derived values, as the indicators show them.
    double AccVolts() const { return VoltageACC / 10.0; }
    double UpsVolts() const { return VoltageUPS / 10.0; }
    int SignalDbm() const { return 2 * SignalQuality - 113; }
    std::uint8_t StartStep() const { return static_cast<std::uint8_t>(StateTimer & 0xFF); }
    std::uint8_t StartAttempt() const { return static_cast<std::uint8_t>(StateTimer >> 8); }
    bool Flag(FlagLamp lamp) const { return Flags[static_cast<int>(lamp)]; }
};

// Decodes the status record from a decoded frame: `frame` holds the frame's bytes as they
// came off the line (Kind, Code, Address, Count, data from DataOffset, the check byte last)
// and nothing more. A frame too short to carry the 36 data bytes and its check byte gives
// nothing: decoding it would show bytes of an older frame. Kind and Code are not examined;
// the caller dispatches on them.
std::optional<StatusRecord> ParseStatusRecord(std::span<const std::uint8_t> frame);

// A mains or generator voltage code in volts: below 50 gives 0, otherwise code + 50.
int VoltageFromCode(std::uint8_t code);

// The state timer as hh:mm:ss, each part exactly two digits (3725 gives "01:02:05").
std::string FormatStateTimer(std::uint16_t seconds);

// The nine-character text of a start step (empty for steps 7 and above).
std::string StartStepText(std::uint8_t step);

// The text of the state panel for a state code, or nothing for the codes 27 and above
// (the panel keeps its previous text). Two-line texts break with "\n\r".
std::optional<std::string> StateText(std::uint8_t workMode, std::uint16_t stateTimer);

// The text of the network registration panel, or nothing for codes above 5.
std::optional<std::string> RegistrationText(std::uint8_t code);

// "205ч 45м" for 12345 minutes: hours and remaining minutes without padding.
std::string FormatHoursMinutes(std::int32_t minutes);

// The controller clock as hh:mm:ss, each part exactly two digits.
std::string FormatClock(const StatusRecord& record);

// The state panel text in manual mode.
inline constexpr const char* kManualModeText = "Ручной режим";

}  // namespace lum
