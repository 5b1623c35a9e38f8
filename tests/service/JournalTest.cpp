// The journals: the line of a record, the reading of both journals with its end markers
// and retries, and the CSV export.
#include <gtest/gtest.h>

#include <map>

#include "link/ReceivePath.h"
#include "service/Journal.h"
#include "tests/link/FakeLine.h"

namespace lum {
namespace {

using namespace std::chrono_literals;
using J = JournalSelector;

JournalRecordBytes Rec(std::uint8_t code, std::uint8_t hour = 0x07, std::uint8_t minute = 0x05,
                       std::uint8_t day = 0x31, std::uint8_t month = 0x12) {
    return {hour, minute, day, month, code};
}

// A controller's journals seen through the record reader: records by index, lost replies
// scripted per request, every request recorded.
struct ScriptedJournals : IJournalRecordReader {
    std::vector<JournalRecordBytes> events, alarms;
    // How many times the request for (journal, index) fails before it succeeds.
    std::map<std::pair<J, int>, int> failures;
    std::vector<std::pair<J, int>> asked;
    // From this request on (counted from 0) no controller frame comes at all.
    int silentFrom = -1;

    TxResult ReadRecord(std::uint8_t index, J journal, JournalRecordBytes& record) override {
        asked.emplace_back(journal, index);
        if (silentFrom >= 0 && static_cast<int>(asked.size()) > silentFrom) return TxResult::NoControllerFrame;
        auto it = failures.find({journal, index});
        if (it != failures.end() && it->second > 0) {
            --it->second;
            return TxResult::NoReply;
        }
        const auto& list = journal == J::Events ? events : alarms;
        record = index < list.size() ? list[index] : JournalRecordBytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        return TxResult::Done;
    }
    int AskedFor(J journal, int index) const {
        return static_cast<int>(std::count(asked.begin(), asked.end(), std::pair{journal, index}));
    }
};

std::vector<std::string> Lines(const std::vector<JournalEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.line);
    return out;
}

TEST(JournalLine, TimeDateAndTheTextOfTheJournal) {
    EXPECT_EQ(JournalLine(J::Events, Rec(3)), "07:05 31/12 появление сети");
    EXPECT_EQ(JournalLine(J::Alarms, Rec(3)), "07:05 31/12 ");
    EXPECT_EQ(JournalLine(J::Events, Rec(5, 0x00, 0x00, 0x01, 0x01)), "00:00 01/01 ручной режим");
    EXPECT_EQ(JournalLine(J::Alarms, Rec(5)), "07:05 31/12 ");
    EXPECT_EQ(JournalLine(J::Events, Rec(0)), "07:05 31/12 пропадание сети");
    EXPECT_EQ(JournalLine(J::Events, Rec(10)), "07:05 31/12 работа ИБП");
    EXPECT_EQ(JournalLine(J::Alarms, Rec(10)), "07:05 31/12 ");
    EXPECT_EQ(JournalLine(J::Alarms, Rec(11)), "07:05 31/12 авария: разряд АКБ ГУ");
    EXPECT_EQ(JournalLine(J::Events, Rec(12)), "07:05 31/12 авария: напряжение ГУ вне дипазона");
    EXPECT_EQ(JournalLine(J::Alarms, Rec(17)), "07:05 31/12 авария: частота ГУ вне диапазона");
    for (J j : {J::Events, J::Alarms}) {
        EXPECT_EQ(JournalLine(j, Rec(18)), "07:05 31/12 ");
        EXPECT_EQ(JournalLine(j, Rec(19)), "07:05 31/12 ");
    }
    // Nibbles above 9 are not refused: 0xFF is 165, of which the last two digits show.
    EXPECT_EQ(JournalLine(J::Events, Rec(1, 0xFF, 0x3A, 0x09, 0x10)), "65:40 09/10 запуск ГУ");
    EXPECT_EQ(JournalTimeText(Rec(1, 0x23, 0x09)), "23:09");
    EXPECT_EQ(JournalDateText(Rec(1, 0, 0, 0x01, 0x02)), "01/02");
    EXPECT_FALSE(IsJournalEnd(Rec(19)));
    EXPECT_TRUE(IsJournalEnd(Rec(20)));
    EXPECT_TRUE(IsJournalEnd(Rec(255)));
    EXPECT_EQ(JournalCapacity(J::Events), 105);
    EXPECT_EQ(JournalCapacity(J::Alarms), 50);
}

TEST(JournalReading, FullJournalsGiveEveryLineAndNothingPastTheirLastIndex) {
    ScriptedJournals c;
    for (int i = 0; i < 105; ++i)
        c.events.push_back(Rec(static_cast<std::uint8_t>(i % 20), 0x10, BinToBcd(i % 60)));
    for (int i = 0; i < 50; ++i) c.alarms.push_back(Rec(static_cast<std::uint8_t>(11 + i % 7)));
    const JournalReading r = ReadJournals(c);
    EXPECT_EQ(r.events.size(), 105u);
    EXPECT_EQ(r.alarms.size(), 50u);
    EXPECT_EQ(r.unread, 0);
    EXPECT_EQ(r.requests, 155);
    EXPECT_EQ(c.AskedFor(J::Events, 105), 0);
    EXPECT_EQ(c.AskedFor(J::Alarms, 50), 0);
    EXPECT_EQ(r.events[104].index, 104);
    EXPECT_EQ(r.events[104].line, "10:44 31/12 " + std::string(*EventText(J::Events, 104 % 20)));
    // Indices in order, the event journal first.
    ASSERT_EQ(c.asked.size(), 155u);
    for (int i = 0; i < 105; ++i) EXPECT_EQ(c.asked[i], std::pair(J::Events, i));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(c.asked[105 + i], std::pair(J::Alarms, i));
}

TEST(JournalReading, EndMarkersEndEachJournal) {
    // An end marker at record 0 lists nothing, and the alarm journal is read next.
    ScriptedJournals empty;
    empty.events = {Rec(20)};
    empty.alarms = {Rec(13), Rec(200)};
    JournalReading r = ReadJournals(empty);
    EXPECT_TRUE(r.events.empty());
    EXPECT_EQ(Lines(r.alarms), std::vector<std::string>{"07:05 31/12 авария: нет запуска ГУ"});
    EXPECT_EQ(empty.asked, (std::vector<std::pair<J, int>>{{J::Events, 0}, {J::Alarms, 0}, {J::Alarms, 1}}));

    // Code 20 at index 10: ten lines, index 11 never asked for.
    ScriptedJournals ten;
    for (int i = 0; i < 10; ++i) ten.events.push_back(Rec(static_cast<std::uint8_t>(i)));
    ten.events.push_back(Rec(20));
    ten.events.push_back(Rec(3));
    r = ReadJournals(ten);
    EXPECT_EQ(r.events.size(), 10u);
    EXPECT_EQ(ten.AskedFor(J::Events, 11), 0);
    EXPECT_TRUE(r.alarmsRead);
    EXPECT_EQ(ten.AskedFor(J::Alarms, 0), 1);
    EXPECT_TRUE(r.alarms.empty());
}

TEST(JournalReading, ALostReplyIsAskedAgainAndAThriceLostRecordIsCounted) {
    ScriptedJournals c;
    for (int i = 0; i < 6; ++i) c.events.push_back(Rec(static_cast<std::uint8_t>(i)));
    c.alarms = {Rec(11), Rec(12)};
    c.failures[{J::Events, 2}] = 2;  // found on the third try
    c.failures[{J::Events, 3}] = 3;  // lost three times: skipped
    c.failures[{J::Alarms, 0}] = 1;
    c.failures[{J::Alarms, 2}] = 3;  // even the end marker may be lost: the reading goes on
    std::vector<std::pair<int, int>> progress;
    JournalCallbacks cb;
    cb.progress = [&](int listed, int unread) { progress.emplace_back(listed, unread); };
    const JournalReading r = ReadJournals(c, cb);
    EXPECT_EQ(c.AskedFor(J::Events, 2), 3);
    EXPECT_EQ(c.AskedFor(J::Events, 3), 3);
    EXPECT_EQ(c.AskedFor(J::Events, 4), 1);
    EXPECT_EQ(c.AskedFor(J::Alarms, 2), 3);
    EXPECT_EQ(c.AskedFor(J::Alarms, 3), 1);  // the end marker found there ends the journal
    EXPECT_EQ(c.AskedFor(J::Alarms, 4), 0);
    EXPECT_EQ(Lines(r.events),
              (std::vector<std::string>{"07:05 31/12 пропадание сети", "07:05 31/12 запуск ГУ",
                                        "07:05 31/12 работа ГУ", "07:05 31/12 включение БУЭ",
                                        "07:05 31/12 ручной режим"}));
    EXPECT_EQ(r.events[3].index, 4);  // no gap marker, but the index tells
    EXPECT_EQ(r.alarms.size(), 2u);
    EXPECT_EQ(r.unread, 2);
    EXPECT_EQ(r.requests, 11 + 7);  // events 1+1+3+3+1+1+1, alarms 2+1+3+1
    // One progress report per record done with: 7 event indices, 4 alarm indices.
    ASSERT_EQ(progress.size(), 11u);
    EXPECT_EQ(progress[2], (std::pair{3, 0}));
    EXPECT_EQ(progress[3], (std::pair{3, 1}));
    EXPECT_EQ(progress.back(), (std::pair{7, 2}));
    EXPECT_EQ(JournalUnreadText(r.unread), "Не прочитано записей: 2");
    EXPECT_EQ(JournalUnreadText(0), "");
    EXPECT_EQ(JournalProgressText(37), "Записей: 37");
}

TEST(JournalReading, FiveRecordsInARowFailingEndTheReadingAndEveryRecordNeverReadIsUnread) {
    struct Case {
        const char* name;
        std::vector<int> failing;  // event indices whose every try fails
        bool gaveUp;
        int listed, unread, requests;
    };
    const Case cases[] = {
        // Four failed in a row, then a record comes: the reading goes on to both ends.
        {"four", {3, 4, 5, 6}, false, 6 + 2, 4, 6 + 4 * 3 + 1 + 3},
        // Five in a row from index 3: 3 listed; 5 failed, 97 never asked (the journal's end
        // was not seen), the alarm journal whole.
        {"five", {3, 4, 5, 6, 7}, true, 3, 5 + 97 + 50, 3 + 5 * 3},
        // Separate failures do not add up.
        {"apart", {0, 1, 2, 3, 5, 6, 7, 8}, false, 2 + 2, 8, 8 * 3 + 2 + 1 + 3},
    };
    for (const Case& c : cases) {
        ScriptedJournals j;
        j.events.resize(10, Rec(1));
        j.alarms = {Rec(11), Rec(12)};
        for (int i : c.failing) j.failures[{J::Events, i}] = 3;
        std::vector<std::string> shown;
        JournalCallbacks cb;
        cb.position = [&](J journal, int done, int capacity) { shown.push_back(JournalPositionText(journal, done, capacity)); };
        const JournalReading r = ReadJournals(j, cb);
        EXPECT_EQ(r.gaveUp, c.gaveUp) << c.name;
        EXPECT_FALSE(r.lineSilent) << c.name;
        EXPECT_EQ(r.alarmsRead, !c.gaveUp) << c.name;
        EXPECT_EQ(static_cast<int>(r.events.size() + r.alarms.size()), c.listed) << c.name;
        EXPECT_EQ(r.unread, c.unread) << c.name;
        EXPECT_EQ(r.failed, static_cast<int>(c.failing.size())) << c.name;
        EXPECT_EQ(r.requests, c.requests) << c.name;
        EXPECT_EQ(r.unanswered, static_cast<int>(c.failing.size()) * 3) << c.name;
        EXPECT_EQ(shown.front(), "События: 1 из 105") << c.name;
        EXPECT_EQ(shown.back(), c.gaveUp ? "События: 8 из 105" : "Аварии: 3 из 50") << c.name;
    }
}

TEST(JournalReading, CallbacksFollowTheReadingAndStopEndsIt) {
    ScriptedJournals c;
    c.events = {Rec(1), Rec(2), Rec(9)};
    c.alarms = {Rec(14)};
    std::vector<std::string> seen;
    JournalCallbacks cb;
    cb.journalStarted = [&](J j) { seen.push_back(j == J::Events ? "events" : "alarms"); };
    cb.entryRead = [&](const JournalEntry& e) { seen.push_back(std::to_string(e.index) + " " + e.line); };
    ReadJournals(c, cb);
    EXPECT_EQ(seen, (std::vector<std::string>{"events", "0 07:05 31/12 запуск ГУ", "1 07:05 31/12 работа ГУ",
                                              "2 07:05 31/12 останов ГУ", "alarms",
                                              "0 07:05 31/12 авария: нет останова ГУ"}));

    // Stopped during the event journal: nothing more is asked, the alarm journal is not started.
    ScriptedJournals d;
    d.events = {Rec(1), Rec(2), Rec(9)};
    d.failures[{J::Events, 1}] = 1;
    int asks = 0;
    cb = {};
    cb.stop = [&] { return ++asks > 2; };
    const JournalReading r = ReadJournals(d, cb);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.alarmsRead);
    EXPECT_EQ(d.asked.size(), 2u);
    EXPECT_EQ(r.events.size(), 1u);
    EXPECT_EQ(r.failed, 0);  // a record stopped half-way is not counted as failed...
    EXPECT_EQ(r.unread, 104 + 50);  // ...but as never read, like every index never asked for
}

TEST(JournalReading, ASilentLineEndsTheReadingAfterOneRecordsTries) {
    ScriptedJournals c;
    for (int i = 0; i < 105; ++i) c.events.push_back(Rec(1));
    c.failures[{J::Events, 1}] = 1;  // a lost reply is not a silent line
    c.silentFrom = 4;                // index 0, index 1 twice, index 2; then the line is dead
    int lastListed = -1, lastUnread = -1;
    JournalCallbacks cb;
    cb.progress = [&](int listed, int unread) { lastListed = listed, lastUnread = unread; };
    const JournalReading r = ReadJournals(c, cb);
    EXPECT_TRUE(r.lineSilent);
    EXPECT_FALSE(r.alarmsRead);
    EXPECT_EQ(r.events.size(), 3u);
    EXPECT_EQ(c.AskedFor(J::Events, 3), 3);
    EXPECT_EQ(c.asked.size(), 7u);
    EXPECT_EQ(r.unread, 1 + 101 + 50);
    EXPECT_EQ(lastListed, 3);
    EXPECT_EQ(lastUnread, 1);
    // A line that answers again within a record's tries goes on as a lost reply would.
    ScriptedJournals back;
    back.events = {Rec(1), Rec(2)};
    back.silentFrom = 0;
    int calls = 0;
    cb = {};
    cb.stop = [&] {
        if (++calls == 3) back.silentFrom = -1;
        return false;
    };
    const JournalReading r2 = ReadJournals(back, cb);
    EXPECT_FALSE(r2.lineSilent);
    EXPECT_EQ(r2.events.size(), 2u);
    EXPECT_TRUE(r2.alarmsRead);
}

// The reader over the real transactions: request frame, reply code and retries on a scripted line.
TEST(JournalReading, OverTheTransactionsARecordLostOnTheLineIsFoundOnTheRetry) {
    test::ScriptedPump pump;
    LinkState state;
    ReceivePath rx{state};
    test::RecordingPort port{pump};
    Transactions tx{state, port, pump, [](const std::string&) {}, pump.Clock()};
    for (int i = 1; i <= 100; ++i) pump.At(i * 200ms, [&] { rx.Chunk(test::StatusFrame()); });
    int requests = 0;
    port.onWrite = [&](const std::string& text) {
        ++requests;
        const auto body = DecodeFrameBody(std::string_view(text).substr(1, text.size() - 2));
        ASSERT_EQ(body.size(), 8u);
        EXPECT_EQ(body[1], 40);
        const std::uint8_t selector = body[5], index = body[6];
        if (requests == 2) return;  // the reply to the second request is lost
        std::vector<std::uint8_t> data = {0x12, 0x34, 0x15, 0x06, static_cast<std::uint8_t>(index + 1)};
        if (selector == 0 && index == 3) data[4] = 20;
        if (selector == 1) data[4] = index == 0 ? 16 : 0xFF;
        pump.At(30ms, [&rx, data] { rx.Chunk(test::WireFrame(1, 40, data)); });
    };
    auto op = tx.Begin();
    TransactionsJournalReader reader(op);
    const JournalReading r = ReadJournals(reader);
    EXPECT_EQ(Lines(r.events), (std::vector<std::string>{"12:34 15/06 запуск ГУ", "12:34 15/06 работа ГУ",
                                                         "12:34 15/06 появление сети"}));
    EXPECT_EQ(Lines(r.alarms), std::vector<std::string>{"12:34 15/06 авария: нет напряжения с альтернатора"});
    EXPECT_EQ(r.unread, 0);
    EXPECT_EQ(requests, 4 + 1 + 2);
    EXPECT_EQ(port.writes[0].text, BuildFrame(40, 0, 2, std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(port.writes[1].text, port.writes[2].text);  // the same record asked again
    EXPECT_EQ(port.writes[5].text, BuildFrame(40, 0, 2, std::vector<std::uint8_t>{1, 0}));
}

TEST(JournalReading, OverTheTransactionsASilentLineEndsAfterThreeWaits) {
    test::ScriptedPump pump;
    LinkState state;
    test::RecordingPort port{pump};
    Transactions tx{state, port, pump, [](const std::string&) {}, pump.Clock()};
    const auto start = pump.now;
    auto op = tx.Begin();
    TransactionsJournalReader reader(op);
    const JournalReading r = ReadJournals(reader);
    EXPECT_TRUE(r.lineSilent);
    EXPECT_EQ(r.requests, 3);
    EXPECT_EQ(r.unread, 155);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(pump.Elapsed(start), 3 * 3000ms);  // three waits of ten ticks
}

TEST(JournalCsv, BothListsByteForByte) {
    const std::vector<JournalEntry> events = {
        {J::Events, 0, Rec(3), JournalLine(J::Events, Rec(3))},
        {J::Events, 4, Rec(18, 0x23, 0x59, 0x01, 0x02),
         JournalLine(J::Events, Rec(18, 0x23, 0x59, 0x01, 0x02))},
    };
    const std::vector<JournalEntry> alarms = {
        {J::Alarms, 0, Rec(5), JournalLine(J::Alarms, Rec(5))},
        {J::Alarms, 1, Rec(11), JournalLine(J::Alarms, Rec(11))},
    };
    EXPECT_EQ(JournalCsv(events, alarms),
              "\xEF\xBB\xBF"
              "журнал,индекс,время,дата,код,текст\r\n"
              "события,0,07:05,31/12,3,появление сети\r\n"
              "события,4,23:59,01/02,18,\r\n"
              "аварии,0,07:05,31/12,5,\r\n"
              "аварии,1,07:05,31/12,11,авария: разряд АКБ ГУ\r\n");
    EXPECT_EQ(JournalCsv({}, {}),
              "\xEF\xBB\xBF"
              "журнал,индекс,время,дата,код,текст\r\n");
    // The export quotes nothing: no text may hold what would need it.
    for (J j : {J::Events, J::Alarms}) {
        for (int code = 0; code < 256; ++code) {
            if (const auto text = EventText(j, static_cast<std::uint8_t>(code))) {
                EXPECT_EQ(text->find_first_of(",\"\\\r\n"), std::string_view::npos) << code;
            }
        }
    }
}

}  // namespace
}  // namespace lum
