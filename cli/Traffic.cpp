#include "cli/Traffic.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "link/FrameCodec.h"
#include "link/ReceivePath.h"
#include "link/Transactions.h"
#include "cli/Platform.h"

namespace lum::cli {

std::string TimeStamp(WallTime at) {
    const std::time_t t = std::chrono::system_clock::to_time_t(at);
    const std::tm tm = LocalTime(t);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count() % 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    return text;
}

std::string CodeName(std::uint8_t code) {
    switch (code) {
        case kStatusCode: return "состояние";
        case kReadCode: return "чтение";
        case kWriteCode: return "запись";
        case kJournalCode: return "журнал";
        case 32: return "тест SMS";
        case 33: return "тест GPRS";
        case 34: return "перезагрузка модема";
        case 38: return "часы";
        case 48: return "режим авто";
        case 49: return "режим полуавто";
        case 50: return "старт ГУ";
        case 51: return "стоп ГУ";
        default: return "код " + std::to_string(code);
    }
}

std::string FormatFrame(WallTime at, const char* direction, std::span<const std::uint8_t> bytes, bool checkOk) {
    std::string out = TimeStamp(at) + "  " + direction + "  ";
    if (bytes.size() >= static_cast<std::size_t>(DataOffset)) {
        out += ByteToHex(bytes[0]) + " " + ByteToHex(bytes[1]) + " " + ByteToHex(bytes[2]) + ByteToHex(bytes[3]) +
               " " + ByteToHex(bytes[4]) + " ";
        const std::size_t end = bytes.size() - 1;  // the check byte
        for (std::size_t i = DataOffset; i < end; ++i) out += " " + ByteToHex(bytes[i]);
        if (end >= static_cast<std::size_t>(DataOffset)) out += " | " + ByteToHex(bytes[end]);
    } else {
        for (const auto b : bytes) out += ByteToHex(b) + " ";
    }
    out += checkOk && bytes.size() > 1 ? "  КС верна  " + CodeName(bytes[1]) : "  ОШИБКА КС";
    return out + "\n";
}

std::string FormatReceived(const LinkState& state, WallTime at) {
    return FormatFrame(at, "<-", std::span(state.RxFrame.data(), state.RxFrameLength), state.RxFrameCheckOk);
}

nlohmann::json FrameJson(const LinkState& state, WallTime at) {
    const std::span<const std::uint8_t> bytes(state.RxFrame.data(), state.RxFrameLength);
    nlohmann::json j = {{"time", TimeStamp(at)}, {"direction", "<-"}, {"check_ok", state.RxFrameCheckOk}};
    if (bytes.size() < 6) {
        j["bytes"] = std::vector<int>(bytes.begin(), bytes.end());
        return j;
    }
    j["kind"] = bytes[0];
    j["code"] = bytes[1];
    j["address"] = bytes[2] << 8 | bytes[3];
    j["count"] = bytes[4];
    j["data"] = std::vector<int>(bytes.begin() + 5, bytes.end() - 1);
    j["check"] = bytes.back();
    j["meaning"] = CodeName(bytes[1]);
    return j;
}

std::string FormatSent(const std::string& echoLine, WallTime at) {
    const auto start = echoLine.find(kFrameStart);
    if (start == std::string::npos) return FormatRawLine(echoLine, at);
    std::string body = echoLine.substr(start + 1);
    if (!body.empty() && body.back() == kFrameEnd) body.pop_back();
    const auto bytes = DecodeFrameBody(body);
    return FormatFrame(at, "->", bytes, FrameCheckOk(bytes));
}

std::string FormatRawLine(const std::string& line, WallTime at) {
    std::string out = TimeStamp(at) + "  ";
    for (const char c : line) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            out += "<" + ByteToHex(b) + ">";
        } else {
            out += c;
        }
    }
    return out + "\n";
}

}  // namespace lum::cli
