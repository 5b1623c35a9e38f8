#include "terminal/TerminalEntry.h"

#include <cctype>
#include <chrono>
#include <ctime>

#include "common/Cp1251.h"

namespace lum {
namespace {

void AppendTwoDigits(std::string& out, int v) {
    out += static_cast<char>('0' + (v / 10) % 10);
    out += static_cast<char>('0' + v % 10);
}

void AppendCodePoint(std::string& out, unsigned cp) {
    // Three-byte UTF-8 form: every code point written here lies in U+0800..U+FFFF.
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
}

}  // namespace

LocalTime LocalClock::Now() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    LocalTime t;
    if (const std::tm* tm = std::localtime(&seconds)) {
        t.Day = tm->tm_mday;
        t.Month = tm->tm_mon + 1;
        t.Hour = tm->tm_hour;
        t.Minute = tm->tm_min;
        t.Second = tm->tm_sec;
    }
    t.Millisecond = static_cast<int>(ms < 0 ? ms + 1000 : ms);
    return t;
}

char FirstSeparator(std::string_view format, char fallback) {
    for (const char c : format) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || std::isalpha(byte) || std::isspace(byte) || c == '\'') continue;
        return c;
    }
    return fallback;
}

std::string FormatStamp(const LocalTime& t, const DateTimeSeparators& sep) {
    std::string out;
    out.reserve(18);
    AppendTwoDigits(out, t.Day);
    out += sep.Date;
    AppendTwoDigits(out, t.Month);
    out += ' ';
    AppendTwoDigits(out, t.Hour);
    out += sep.Time;
    AppendTwoDigits(out, t.Minute);
    out += sep.Time;
    AppendTwoDigits(out, t.Second);
    out += sep.Time;
    out += static_cast<char>('0' + (t.Millisecond / 100) % 10);
    AppendTwoDigits(out, t.Millisecond % 100);
    return out;
}

std::string FormatEntry(std::uint32_t number, const LocalTime& t, const DateTimeSeparators& sep,
                        std::string_view text) {
    std::string out = std::to_string(number);
    out.reserve(out.size() + 20 + text.size());
    out += ' ';
    out += FormatStamp(t, sep);
    out += ' ';
    out += text;
    return out;
}

void AppendVisible(std::string& out, std::string_view raw) {
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20) {
            AppendCodePoint(out, 0x2400u + c);
        } else if (c == 0x7F) {
            AppendCodePoint(out, 0x2421u);
        } else if (c < 0x80) {
            out += ch;
        } else {
            out += Cp1251ToUtf8(std::string_view(&ch, 1));
        }
    }
}

std::string VisibleText(std::string_view raw) {
    std::string out;
    out.reserve(raw.size() + 8);
    AppendVisible(out, raw);
    return out;
}

}  // namespace lum
