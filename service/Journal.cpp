#include "service/Journal.h"

#include <stdexcept>

#include "common/AtomicFile.h"
#include "link/FrameCodec.h"

namespace lum {
namespace {

constexpr std::string_view kEventTexts[] = {
    "пропадание сети",
    "запуск ГУ",
    "работа ГУ",
    "появление сети",
    "включение БУЭ",
    "ручной режим",
    "автоматический режим",
    "тестовый запуск",
    "отдых ГУ",
    "останов ГУ",
    "работа ИБП",
    "авария: разряд АКБ ГУ",
    "авария: напряжение ГУ вне дипазона",
    "авария: нет запуска ГУ",
    "авария: нет останова ГУ",
    "авария: нет импульсов с магнето",
    "авария: нет напряжения с альтернатора",
    "авария: частота ГУ вне диапазона",
};
constexpr std::uint8_t kFirstAlarmCode = 11;

std::string TwoDigits(std::uint8_t bcd) {
    return IntToZeroPadded(BcdToBin(bcd), 2);
}

// Every field of the export is a fixed text or digits without a comma or a quote, so
// none needs quoting.
std::string_view JournalName(JournalSelector journal) {
    return journal == JournalSelector::Events ? "события" : "аварии";
}

}  // namespace

std::string JournalTimeText(const JournalRecordBytes& r) {
    return TwoDigits(r[0]) + ":" + TwoDigits(r[1]);
}

std::string JournalDateText(const JournalRecordBytes& r) {
    return TwoDigits(r[2]) + "/" + TwoDigits(r[3]);
}

int JournalCapacity(JournalSelector journal) {
    return journal == JournalSelector::Events ? kEventJournalRecords : kAlarmJournalRecords;
}

std::optional<std::string_view> EventText(JournalSelector journal, std::uint8_t code) {
    if (code >= std::size(kEventTexts)) return std::nullopt;
    if (journal == JournalSelector::Alarms && code < kFirstAlarmCode) return std::nullopt;
    return kEventTexts[code];
}

bool IsJournalEnd(const JournalRecordBytes& record) {
    return record[4] >= kJournalEndCode;
}

std::string JournalLine(JournalSelector journal, const JournalRecordBytes& record) {
    std::string line = JournalTimeText(record) + " " + JournalDateText(record) + " ";
    if (const auto text = EventText(journal, record[4])) line += *text;
    return line;
}

JournalReading ReadJournals(IJournalRecordReader& reader, const JournalCallbacks& callbacks) {
    JournalReading reading;
    int failedInRow = 0;
    const auto stopAsked = [&] {
        if (callbacks.stop && callbacks.stop()) reading.stopped = true;
        return reading.stopped;
    };
    const auto report = [&](JournalSelector journal, int done) {
        if (callbacks.progress)
            callbacks.progress(static_cast<int>(reading.events.size() + reading.alarms.size()), reading.failed);
        if (callbacks.position) callbacks.position(journal, done, JournalCapacity(journal));
    };
    // Reads one journal; false when the reading ended early. `unread` gets the indices
    // never asked for when it did.
    const auto readJournal = [&](JournalSelector journal, std::vector<JournalEntry>& entries) {
        if (callbacks.journalStarted) callbacks.journalStarted(journal);
        const int capacity = JournalCapacity(journal);
        for (int index = 0; index < capacity; ++index) {
            JournalRecordBytes record{};
            bool ok = false;
            bool silent = true;  // every try so far found a silent line
            for (int attempt = 0; attempt <= kJournalRetries && !ok; ++attempt) {
                if (stopAsked()) {
                    reading.unread += capacity - index;
                    return false;
                }
                ++reading.requests;
                const TxResult result = reader.ReadRecord(static_cast<std::uint8_t>(index), journal, record);
                if (result == TxResult::Cancelled || result == TxResult::DeviceLost) {
                    (result == TxResult::Cancelled ? reading.stopped : reading.lineSilent) = true;
                    reading.unread += capacity - index;
                    return false;
                }
                ok = Ok(result);
                silent = silent && result == TxResult::NoControllerFrame;
                if (result == TxResult::CorruptReply || result == TxResult::ShortReply) ++reading.corruptReplies;
                if (result == TxResult::NoReply || result == TxResult::WrongCode) ++reading.unanswered;
            }
            if (!ok) {
                ++reading.failed;
                ++reading.unread;
                ++failedInRow;
                report(journal, index + 1);
                if (silent || failedInRow >= kJournalGiveUpRecords) {
                    reading.lineSilent = silent;
                    reading.gaveUp = !silent;
                    reading.unread += capacity - index - 1;
                    return false;
                }
                continue;
            }
            failedInRow = 0;
            const bool end = IsJournalEnd(record);
            if (!end) {
                entries.push_back({journal, static_cast<std::uint8_t>(index), record, JournalLine(journal, record)});
                if (callbacks.entryRead) callbacks.entryRead(entries.back());
            }
            report(journal, index + 1);
            if (end) break;
        }
        return true;
    };
    if (!readJournal(JournalSelector::Events, reading.events)) {
        reading.unread += kAlarmJournalRecords;
        return reading;
    }
    reading.alarmsRead = true;
    readJournal(JournalSelector::Alarms, reading.alarms);
    return reading;
}

std::string JournalProgressText(int listed) {
    return "Записей: " + std::to_string(listed);
}

std::string JournalPositionText(JournalSelector journal, int done, int capacity) {
    return std::string(journal == JournalSelector::Events ? "События: " : "Аварии: ") + std::to_string(done) + " из " +
           std::to_string(capacity);
}

std::string JournalUnreadText(int unread) {
    if (unread <= 0) return {};
    return "Не прочитано записей: " + std::to_string(unread);
}

std::string JournalCsv(const std::vector<JournalEntry>& events, const std::vector<JournalEntry>& alarms) {
    std::string csv = "\xEF\xBB\xBF";
    csv += "журнал,индекс,время,дата,код,текст\r\n";
    for (const auto* list : {&events, &alarms}) {
        for (const JournalEntry& e : *list) {
            const auto text = EventText(e.journal, e.record[4]);
            csv += std::string(JournalName(e.journal)) + "," + std::to_string(e.index) + "," +
                   JournalTimeText(e.record) + "," + JournalDateText(e.record) + "," +
                   std::to_string(e.record[4]) + "," + std::string(text.value_or("")) + "\r\n";
        }
    }
    return csv;
}

void SaveJournalCsv(const std::string& path, const std::vector<JournalEntry>& events,
                    const std::vector<JournalEntry>& alarms) {
    WriteFileAtomically(path, JournalCsv(events, alarms));
}

}  // namespace lum
