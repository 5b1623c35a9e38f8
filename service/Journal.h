#pragma once
// The controller's event journal (up to 105 records) and alarm journal (up to 50): the
// text line of a record, the reading of both journals record by record, and their export
// as CSV. The window and the command-line tool share it.
//
// A record is the five data bytes of the controller's code-40 reply: hour, minute, day,
// month (packed BCD) and the event code. A code of 20 or more marks the end of a journal.
// A line reads "07:05 31/12 появление сети": time, one space, date, one space, the text of
// the code (the alarm journal gives a text only to the codes 11 to 17).
//
// Reading: the event journal from index 0 until its end marker or index 104, then the
// alarm journal from 0 until its end marker or 49. A record whose request fails is asked
// for again, at most twice; after the third failure it is skipped and counted as unread.
// The reading ends early when kJournalGiveUpRecords records in a row failed every try, or
// at once when every try of a record found the line silent (no controller frame at all) or
// the device was lost (the record under way counts as never read, not as failed), or when
// it is stopped (the stop callback, or a wait cancelled on the link).
//
// Threads: pure functions, any thread. ReadJournals runs on the thread of its reader (for
// the transactions, the main thread); its callbacks run on that thread.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/Transactions.h"

namespace lum {

inline constexpr int kEventJournalRecords = 105;
inline constexpr int kAlarmJournalRecords = 50;
inline constexpr std::uint8_t kJournalEndCode = 20;
// A failed record is asked for again this many times before it is skipped.
inline constexpr int kJournalRetries = 2;
// Records in a row that failed every try before the reading is given up.
inline constexpr int kJournalGiveUpRecords = 5;

using JournalRecordBytes = std::array<std::uint8_t, kJournalRecordSize>;

// The number of records a journal holds at most: 105 events, 50 alarms.
int JournalCapacity(JournalSelector journal);

// The text of an event code in a journal, or nothing (codes 18, 19; in the alarm journal
// every code outside 11..17; every end marker).
std::optional<std::string_view> EventText(JournalSelector journal, std::uint8_t code);

// True when the record's code marks the end of the journal.
bool IsJournalEnd(const JournalRecordBytes& record);

// The record's time "07:05" and date "31/12" (BCD, two digits each, as in its line).
std::string JournalTimeText(const JournalRecordBytes& record);
std::string JournalDateText(const JournalRecordBytes& record);

// The line of a record (UTF-8). BCD nibbles are not checked: 0xFF shows as "65".
std::string JournalLine(JournalSelector journal, const JournalRecordBytes& record);

// One listed record.
struct JournalEntry {
    JournalSelector journal = JournalSelector::Events;
    std::uint8_t index = 0;
    JournalRecordBytes record{};
    std::string line;
    bool operator==(const JournalEntry&) const = default;
};

// Both journals as read.
struct JournalReading {
    std::vector<JournalEntry> events;
    std::vector<JournalEntry> alarms;
    // Records never read: those whose every try failed, and, in a journal whose end was
    // not reached, every index never asked for (a journal not started counts whole).
    int unread = 0;
    int failed = 0;           // records whose every try failed
    int requests = 0;         // requests made, tries included
    bool stopped = false;     // the stop callback (or a cancelled wait) ended the reading early
    bool alarmsRead = false;  // the alarm journal was reached (the event journal ended first)
    bool lineSilent = false;  // ended early: the records given up found no controller frame,
                              // or the device was lost
    bool gaveUp = false;      // ended early: kJournalGiveUpRecords records in a row failed
    int corruptReplies = 0;   // tries whose reply failed its check
    int unanswered = 0;       // tries that were sent but brought no reply (or another frame)
    bool EndedEarly() const { return stopped || lineSilent || gaveUp; }
};

// Where records come from: one request for record `index` of `journal`, with the link's
// result; the five bytes in `record` when Done, the record untouched otherwise.
// NoControllerFrame: no controller frame came to answer at all (a dead or unplugged line),
// as opposed to a reply that was lost or wrong.
class IJournalRecordReader {
  public:
    virtual ~IJournalRecordReader() = default;
    virtual TxResult ReadRecord(std::uint8_t index, JournalSelector journal, JournalRecordBytes& record) = 0;
};

// The reader over the transactions, through an Operation that holds the link for the
// whole reading (an invalid token refuses every request).
class TransactionsJournalReader : public IJournalRecordReader {
  public:
    explicit TransactionsJournalReader(Transactions::Operation& operation) : operation_(operation) {}
    TxResult ReadRecord(std::uint8_t index, JournalSelector journal, JournalRecordBytes& record) override {
        return operation_.ReadJournalRecord(index, journal, record);
    }

  private:
    Transactions::Operation& operation_;
};

struct JournalCallbacks {
    // Before the first request of a journal (the window empties that journal's list).
    std::function<void(JournalSelector journal)> journalStarted;
    // A record listed (not an end marker), in index order.
    std::function<void(const JournalEntry& entry)> entryRead;
    // After each record is done with (listed, ended or given up): records listed so far in
    // both journals, and records given up so far.
    std::function<void(int listed, int unread)> progress;
    // After each record is done with: the journal, the records of it done with so far and
    // its capacity (the window shows "События: 37 из 105").
    std::function<void(JournalSelector journal, int done, int capacity)> position;
    // Asked before each request; true ends the reading at once (the user stopped it).
    std::function<bool()> stop;
};

// Reads both journals; the alarm journal only once the event journal has been read to its
// end marker or its last index. On a dead line the reading would otherwise wait out 465
// requests: see the early ends above.
JournalReading ReadJournals(IJournalRecordReader& reader, const JournalCallbacks& callbacks = {});

// The status-bar texts of a reading: records listed so far while reading, and at the end
// how many records could not be read (empty when every record was read).
std::string JournalProgressText(int listed);
// "События: 37 из 105", "Аварии: 5 из 50".
std::string JournalPositionText(JournalSelector journal, int done, int capacity);
std::string JournalUnreadText(int unread);

// Both journals as CSV: a header line, then one line per listed record with the columns
// journal, index, time, date, code, text; UTF-8 with a byte-order mark, lines ended by
// CR LF. No field holds a comma or a quote, so none is quoted.
std::string JournalCsv(const std::vector<JournalEntry>& events, const std::vector<JournalEntry>& alarms);
// Writes JournalCsv to a file (created or replaced, WriteFileAtomically); FileError naming
// the file when it cannot be written.
void SaveJournalCsv(const std::string& path, const std::vector<JournalEntry>& events,
                    const std::vector<JournalEntry>& alarms);

}  // namespace lum
