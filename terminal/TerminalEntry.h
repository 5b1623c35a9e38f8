#pragma once
// One terminal entry: "N dd/mm hh:nn:ss:zzz text", the line number, the local date and time
// joined by the system's date and time separators, and the received text as it came.
// Entries are kept as the bytes received (single-byte text, code page 1251); VisibleText
// turns an entry into UTF-8 for the screen with its control characters drawn as symbols.
//
// Threads: pure functions, any thread. LocalClock reads the C library's local time and is
// for the main thread only.
#include <cstdint>
#include <string>
#include <string_view>

namespace lum {

// A local date and time to the millisecond.
struct LocalTime {
    int Day = 1;
    int Month = 1;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

// Where entries get their time stamps.
class IClock {
  public:
    virtual ~IClock() = default;
    virtual LocalTime Now() = 0;
};

// The PC's local time (main thread only).
class LocalClock : public IClock {
  public:
    LocalTime Now() override;
};

// The system's date and time separators ("dd/mm", "hh:nn:ss:zzz").
struct DateTimeSeparators {
    char Date = '/';
    char Time = ':';
};

// The first separator character of a locale's date or time format in UTF-8 ("dd.MM.yyyy"
// gives '.'): letters, spaces and quotes are skipped, characters outside ASCII are taken as
// letters; `fallback` when there is none.
char FirstSeparator(std::string_view format, char fallback);

// "dd/mm hh:nn:ss:zzz" with the given separators.
std::string FormatStamp(const LocalTime& t, const DateTimeSeparators& sep);

// "N dd/mm hh:nn:ss:zzz text": the number in decimal, one space, the stamp, one space, the text.
std::string FormatEntry(std::uint32_t number, const LocalTime& t, const DateTimeSeparators& sep,
                        std::string_view text);

// Received bytes as UTF-8 for the screen: control characters become the control pictures
// (U+2400 + code, so the start byte shows as "␐" and the carriage return as "␍"), DEL as
// "␡", bytes from 0x80 up as their code page 1251 letters.
std::string VisibleText(std::string_view raw);
// The same, appended to `out`.
void AppendVisible(std::string& out, std::string_view raw);

}  // namespace lum
