#include "service/Commands.h"

#include <limits>

#include "common/Cp1251.h"
#include "link/FrameCodec.h"

namespace lum {
namespace {

std::uint8_t Bcd(int value) {
    return BinToBcd(static_cast<std::uint8_t>(value));
}

ServiceRequest Command(ServiceCommand command, std::vector<std::uint8_t> data = {}) {
    ServiceRequest r;
    r.kind = ServiceRequest::Kind::Command;
    r.code = static_cast<std::uint8_t>(command);
    r.count = static_cast<std::uint8_t>(data.size());
    r.data = std::move(data);
    return r;
}

ServiceRequest Write(std::uint16_t address, std::vector<std::uint8_t> data) {
    ServiceRequest r;
    r.kind = ServiceRequest::Kind::Write;
    r.code = kWriteCode;
    r.address = address;
    r.count = static_cast<std::uint8_t>(data.size());
    r.data = std::move(data);
    return r;
}

ServiceRequest TimedCommand(ServiceCommand command, std::string_view hours, std::string_view minutes) {
    const std::uint16_t seconds = GuSeconds(hours, minutes);
    return Command(command, {static_cast<std::uint8_t>(seconds >> 8), static_cast<std::uint8_t>(seconds)});
}

}  // namespace

std::int32_t ParseInteger(std::string_view text) {
    const auto fail = [text] {
        return ConversionError("'" + std::string(text) + "' is not a valid integer value");
    };
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    if (pos == text.size()) throw fail();
    long long value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9') throw fail();
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1) throw fail();
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) throw fail();
    return static_cast<std::int32_t>(value);
}

HoursMinutesText SplitHoursMinutes(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos)
        throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
    return {std::string(text.substr(0, colon)), std::string(text.substr(colon + 1))};
}

LocalDateTime LocalDateTimeFromTm(const std::tm& tm) {
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::array<std::uint8_t, 6> ClockBytes(const LocalDateTime& t) {
    return {Bcd(t.hour), Bcd(t.minute), Bcd(t.second), Bcd(t.day), Bcd(t.month), Bcd(t.year % 100)};
}

ServiceRequest CommandRequest(ServiceCommand command) {
    switch (command) {
        case ServiceCommand::SmsTest:
        case ServiceCommand::GprsTest:
        case ServiceCommand::ModemRestart:
        case ServiceCommand::AutoMode:
        case ServiceCommand::SemiAutoMode:
            return Command(command);
        default:
            throw std::invalid_argument("команда " + std::to_string(static_cast<int>(command)) +
                                        " передает данные");
    }
}

ServiceRequest ClockSyncRequest(const LocalDateTime& time) {
    const auto bytes = ClockBytes(time);
    return Command(ServiceCommand::ClockSync, {bytes.begin(), bytes.end()});
}

std::uint16_t GuSeconds(std::string_view hours, std::string_view minutes) {
    // Both fields are converted first, so a bad text fails before any range check.
    const long long h = ParseInteger(hours);
    const long long m = ParseInteger(minutes);
    const long long seconds = h * 3600 + m * 60;
    if (seconds < 0 || seconds > kMaxGuSeconds) throw InputRefused(kGuTimeRangeText);
    return static_cast<std::uint16_t>(seconds);
}

ServiceRequest StartRequest(std::string_view hours, std::string_view minutes) {
    return TimedCommand(ServiceCommand::Start, hours, minutes);
}

ServiceRequest StopRequest(std::string_view hours, std::string_view minutes) {
    return TimedCommand(ServiceCommand::Stop, hours, minutes);
}

std::int32_t MotorMinutes(std::string_view hours, std::string_view minutes) {
    const long long h = ParseInteger(hours);
    const long long m = ParseInteger(minutes);
    if (h < 0 || m < 0) throw InputRefused(kNegativeMotorHoursText);
    const long long total = h * 60 + m;
    if (total > std::numeric_limits<std::int32_t>::max()) throw InputRefused(kMotorHoursTooLargeText);
    return static_cast<std::int32_t>(total);
}

std::array<std::uint8_t, 4> MotorMinutesBytes(std::int32_t minutes) {
    const auto v = static_cast<std::uint32_t>(minutes);
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

ServiceRequest MotorHoursRequest(std::string_view hours, std::string_view minutes) {
    const auto bytes = MotorMinutesBytes(MotorMinutes(hours, minutes));
    return Write(kMotorHoursAddress, {bytes.begin(), bytes.end()});
}

std::array<std::uint8_t, 8> SerialNumberBytes(std::string_view utf8) {
    std::string bytes;
    try {
        if (Utf8Length(utf8) != kSerialNumberSize) throw InputRefused(kSerialLengthText);
        bytes = Utf8ToCp1251(utf8);
    } catch (const EncodingError& e) {
        throw InputRefused(std::string("Серийный номер не записан: ") + e.what() + ".");
    }
    std::array<std::uint8_t, 8> out{};
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(bytes[i]);
    return out;
}

ServiceRequest SerialNumberRequest(std::string_view utf8) {
    const auto bytes = SerialNumberBytes(utf8);
    return Write(kSerialNumberAddress, {bytes.begin(), bytes.end()});
}

bool PasswordMatches(std::string_view entry) {
    return entry == kServicePassword;
}

std::string SendResult::Message() const {
    switch (outcome) {
        case SendOutcome::Sent:
            return {};
        case SendOutcome::NoController:
            return reportedByLink ? std::string() : std::string(kNoLinkRetryText);
        case SendOutcome::Busy:
            return kNoLinkRetryText;
    }
    return {};
}

SendResult SendServiceRequest(Transactions& tx, const ServiceRequest& request) {
    // The slot held by another transaction: refused without touching the line.
    SendResult result;
    if (tx.Busy()) {
        result.outcome = SendOutcome::Busy;
        return result;
    }
    const bool command = request.kind == ServiceRequest::Kind::Command;
    const TxResult sent = command ? tx.SendCommand(request.code, request.address, request.count, request.data)
                                  : tx.SendWriteBlock(request.address, request.count, request.data);
    if (sent == TxResult::Refused) {
        result.outcome = SendOutcome::Busy;
    } else if (!Ok(sent)) {
        result.outcome = SendOutcome::NoController;
        result.reportedByLink = command;
    }
    return result;
}

}  // namespace lum
