#pragma once
// The one-shot service commands of the controller: the frame each command sends, the
// conversions from what the engineer types (clock, run and wait time, motor hours,
// serial number), the service password, and one small layer that sends a command over
// the transactions and says what happened. The window and the command-line tool share it.
//
//   const ServiceRequest r = StartRequest("1", "30");      // code 50, data 15 18
//   const SendResult res = SendServiceRequest(tx, r);     // Sent, NoController, Busy
//
// Input the controller must not get is refused before anything is sent:
//   - a text that is not an integer raises ConversionError ("'%s' is not a valid integer
//     value"), shown by the front end as an error;
//   - a value that cannot travel (a run or wait time outside 0..65535 s, a negative or
//     too large motor-hours counter, a serial number that is not 8 characters of code page
//     1251) raises InputRefused with the warning for the engineer.
//
// Threads: the builders are pure functions, any thread. SendServiceRequest runs on the
// thread of the transactions (the main thread).
#include <array>
#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/Dialogs.h"
#include "link/Transactions.h"

namespace lum {

// The command codes (Kind 0 frames, address 0).
enum class ServiceCommand : std::uint8_t {
    SmsTest = 32,       // "Тест SMS"
    GprsTest = 33,      // "Тест GPRS"
    ModemRestart = 34,  // "Перезагрузка модема"
    ClockSync = 38,     // "Синхронизация системного времени": 6 BCD bytes
    AutoMode = 48,      // "Режим Авто"
    SemiAutoMode = 49,  // "Режим Полу-авто"
    Start = 50,         // "Старт": run time, 16-bit seconds
    Stop = 51,          // "Стоп": waiting time, 16-bit seconds
};

// Where the configuration memory keeps the counters the service page writes.
inline constexpr std::uint16_t kMotorHoursAddress = 0;
inline constexpr std::uint8_t kMotorHoursSize = 4;
inline constexpr std::uint16_t kSerialNumberAddress = 184;
inline constexpr std::uint8_t kSerialNumberSize = 8;

// The longest run or wait time the two bytes of a start or stop command hold.
inline constexpr long long kMaxGuSeconds = 65535;

inline constexpr const char* kServicePassword = "40617283";

// Messages of the service page.
inline constexpr const char* kGuTimeRangeText =
    "Время должно быть от 0 ч 0 мин до 18 ч 12 мин: большее время контроллер принять не может.";
inline constexpr const char* kNegativeMotorHoursText = "Счетчик моточасов не может быть отрицательным.";
inline constexpr const char* kMotorHoursTooLargeText =
    "Счетчик моточасов слишком велик: не более 35791394 ч 7 мин.";
inline constexpr const char* kSerialLengthText = "Серийный номер должен содержать ровно 8 символов.";

// A text that is not a decimal integer: "'%s' is not a valid integer value".
class ConversionError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Input refused before sending; what() is the warning for the engineer.
class InputRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The local date and time, read once by the caller (the front end reads the PC's clock).
struct LocalDateTime {
    int year = 2000;  // full year
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;
    int second = 0;
};

// A broken-down time of the C library (as localtime_r fills it) as a LocalDateTime.
LocalDateTime LocalDateTimeFromTm(const std::tm& tm);

// One frame to send: a command (SendCommand) or a configuration write (SendWriteBlock).
struct ServiceRequest {
    enum class Kind { Command, Write };
    Kind kind = Kind::Command;
    std::uint8_t code = 0;  // the command code; 4 for a write
    std::uint16_t address = 0;
    std::uint8_t count = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const ServiceRequest&) const = default;
};

// The standard text-to-integer conversion: an optional sign and decimal digits that fit a
// signed 32-bit integer, nothing else (no spaces). Raises ConversionError.
std::int32_t ParseInteger(std::string_view text);

// "H:MM" (a command line's form of an hour and minute pair) split at its colon into the
// hour and minute texts; a text without exactly one colon raises ConversionError for the
// whole text. The parts are converted by the builders below.
struct HoursMinutesText {
    std::string hours;
    std::string minutes;
};
HoursMinutesText SplitHoursMinutes(std::string_view text);

// hour, minute, second, day, month, year within the century, each packed BCD.
std::array<std::uint8_t, 6> ClockBytes(const LocalDateTime& time);

// A command without data: SmsTest, GprsTest, ModemRestart, AutoMode, SemiAutoMode.
// Raises std::invalid_argument for a command that carries data.
ServiceRequest CommandRequest(ServiceCommand command);
ServiceRequest ClockSyncRequest(const LocalDateTime& time);

// Hours × 3600 + minutes × 60 from the two fields; refused (InputRefused, kGuTimeRangeText)
// outside 0..65535 s instead of travelling modulo 65536.
std::uint16_t GuSeconds(std::string_view hours, std::string_view minutes);
ServiceRequest StartRequest(std::string_view hours, std::string_view minutes);
ServiceRequest StopRequest(std::string_view hours, std::string_view minutes);

// Hours × 60 + minutes; a negative field or total is refused, and so is a total beyond
// the signed 32-bit counter. Minutes above 59 simply add.
std::int32_t MotorMinutes(std::string_view hours, std::string_view minutes);
// The four bytes of the counter, most significant first.
std::array<std::uint8_t, 4> MotorMinutesBytes(std::int32_t minutes);
ServiceRequest MotorHoursRequest(std::string_view hours, std::string_view minutes);

// The serial number (UTF-8) as the controller's 8 bytes of code page 1251: exactly 8
// characters, each one that code page holds; otherwise refused with a warning saying which.
std::array<std::uint8_t, 8> SerialNumberBytes(std::string_view utf8);
ServiceRequest SerialNumberRequest(std::string_view utf8);

// The whole entry compared with the password, character for character (no trimming).
bool PasswordMatches(std::string_view entry);

// What became of a request on the line.
enum class SendOutcome {
    Sent,          // written to the port (the controller confirms nothing)
    NoController,  // no controller frame within the wait: nothing sent
    Busy,          // another transaction held the link: nothing sent
};

struct SendResult {
    SendOutcome outcome = SendOutcome::Sent;
    // For NoController after a command: the transactions' NoController hook has already
    // told the user (the window's "глююююк" box).
    bool reportedByLink = false;
    bool Ok() const { return outcome == SendOutcome::Sent; }
    // What the engineer should be told, or empty: kNoLinkRetryText when a write found no
    // controller or the link was busy; nothing when sent or already reported.
    std::string Message() const;
};

// Sends one request through the transactions: SendCommand for a command (whose silent line
// runs the NoController hook), SendWriteBlock for a write.
SendResult SendServiceRequest(Transactions& tx, const ServiceRequest& request);

}  // namespace lum
