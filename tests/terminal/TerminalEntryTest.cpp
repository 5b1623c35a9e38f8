// Entry text: number, stamp with the system separators, the text as received; and the
// visible form of the received bytes.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "terminal/TerminalEntry.h"

namespace lum {
namespace {

TEST(TerminalEntry, NumberStampAndTextWithTheGivenSeparators) {
    const LocalTime t{3, 11, 9, 5, 7, 42};
    EXPECT_EQ(FormatEntry(7, t, {},
                          "\x10"
                          "AB\r"),
              "7 03/11 09:05:07:042 \x10"
              "AB\r");
    EXPECT_EQ(FormatEntry(0, t, {'.', '-'}, "x"), "0 03.11 09-05-07-042 x");
    EXPECT_EQ(FormatEntry(4294967295u, {31, 12, 23, 59, 59, 999}, {}, ""), "4294967295 31/12 23:59:59:999 ");
    EXPECT_EQ(FormatStamp({1, 1, 0, 0, 0, 5}, {}), "01/01 00:00:00:005");
    EXPECT_EQ(FormatStamp({1, 1, 0, 0, 0, 100}, {}), "01/01 00:00:00:100");
}

TEST(TerminalEntry, FirstSeparatorOfALocaleFormat) {
    const std::pair<std::string, char> cases[] = {
        {"dd.MM.yyyy", '.'}, {"d/M/yy", '/'}, {"HH:mm", ':'},   {"h 'ч' mm", '/'},
        {"yyyy-MM-dd", '-'}, {"", '/'},       {"ddMMyy", '/'}, {"yyyy年M月d.", '.'},
    };
    for (const auto& [format, expected] : cases) EXPECT_EQ(FirstSeparator(format, '/'), expected) << format;
}

TEST(TerminalEntry, ControlCharactersBecomeSymbolsAndHighBytesCyrillic) {
    EXPECT_EQ(VisibleText("\x10"
                          "0102\r"),
              "␐0102␍");
    EXPECT_EQ(VisibleText(std::string("\0\x1F\x7F", 3)), "␀␟␡");
    EXPECT_EQ(VisibleText("\xC0\xFF \xA8"), "Ая Ё");
    EXPECT_EQ(VisibleText("plain ~"), "plain ~");
    std::string out = "12 ";
    AppendVisible(out, "\n");
    EXPECT_EQ(out, "12 ␊");
}

TEST(TerminalEntry, LocalClockGivesAValidDateAndTime) {
    LocalClock clock;
    const LocalTime t = clock.Now();
    EXPECT_GE(t.Day, 1);
    EXPECT_LE(t.Day, 31);
    EXPECT_GE(t.Month, 1);
    EXPECT_LE(t.Month, 12);
    EXPECT_LE(t.Hour, 23);
    EXPECT_LE(t.Second, 60);
    EXPECT_GE(t.Millisecond, 0);
    EXPECT_LE(t.Millisecond, 999);
}

}  // namespace
}  // namespace lum
