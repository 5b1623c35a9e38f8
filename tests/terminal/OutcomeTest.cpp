#include "terminal/Outcome.h"

#include <gtest/gtest.h>

#include "params/Catalog.h"
#include "params/ParamTree.h"

namespace lum {
namespace {

constexpr const char* kNoLink = "Нет связи. Устройство занято или не подключено. Попробуйте еще раз.";

WriteResult Written(std::size_t blocks, TransferFailure failure = TransferFailure::NoReply) {
    WriteResult w;
    w.BlocksWritten = blocks;
    w.Failure = blocks == WriteBlocks.size() ? TransferFailure::None : failure;
    w.Verified = blocks == WriteBlocks.size();
    return w;
}

TEST(Outcome, EveryKindHasItsCaptionAndText) {
    ParamTreeModel tree;
    LoadCatalog(tree, CatalogForModel(200));
    const ConfigImage sent = DefaultImageForModel(200);
    WriteResult differs = Written(4);
    differs.ReadBack = sent;
    differs.ReadBack[37] = static_cast<std::uint8_t>(sent[37] + 1);
    differs.Mismatches.push_back({37, sent[37], differs.ReadBack[37]});
    WriteResult unchecked = Written(4);
    unchecked.Verified = false, unchecked.VerifyFailure = TransferFailure::Disagreement;
    JournalReading silent;
    silent.lineSilent = true, silent.events.resize(3), silent.unread = 152;
    JournalReading unanswered;
    unanswered.gaveUp = true, unanswered.alarmsRead = true, unanswered.events.resize(105), unanswered.unread = 50;
    ReadResult corrupted{false, TransferFailure::Corrupted, 1, 90};
    corrupted.Stats.Replies = 80, corrupted.Stats.Corrupted = 71, corrupted.Stats.Transactions = 90;
    const SendResult busy{SendOutcome::Busy, false}, hooked{SendOutcome::NoController, true};

    struct Case {
        const char* name;
        Outcome got;
        OutcomeKind kind;
        const char* caption;
        std::vector<std::string> says;  // pieces of the text; the first is its beginning
    };
    const Case cases[] = {
        {"read done", ReadOutcome({true, TransferFailure::None, 4, 8}), OutcomeKind::Done, "info",
         {"Параметры успешно прочитаны из устройства."}},
        {"read silent", ReadOutcome({false, TransferFailure::NoController, 0, 1}), OutcomeKind::NoController,
         "Ошибка", {kNoLink}},
        {"read unanswered", ReadOutcome({false, TransferFailure::NoReply, 0, 4}), OutcomeKind::NoController, "Ошибка",
         {"Блок 0–63. ", kNoAnswerText}},
        {"read corrupted", ReadOutcome(corrupted), OutcomeKind::Disagreement, "Ошибка",
         {"Блок 64–127. Ответы устройства приходят искаженными: из 80 ответов 71 не прошли проверку"}},
        {"read noisy", ReadOutcome({false, TransferFailure::Disagreement, 2, 12}), OutcomeKind::Disagreement,
         "Ошибка", {"Блок 128–191.", "ни одна пара прочитанных копий блока не совпала"}},
        {"read stopped", ReadOutcome({false, TransferFailure::Stopped, 1, 2}), OutcomeKind::Interrupted, "Ошибка",
         {"Чтение остановлено."}},
        {"write done", WriteOutcome(Written(4), tree, sent), OutcomeKind::Done, "info",
         {"Параметры успешно записаны в устройство."}},
        {"write cut off", WriteOutcome(Written(2), tree, sent), OutcomeKind::CutOff, "Ошибка",
         {"Запись оборвалась после 2 из 4 блоков", "(адреса) 4–63, 64–127, остальные нет", "смесь", kNoLink}},
        {"write unchecked", WriteOutcome(unchecked, tree, sent), OutcomeKind::NotVerified, "Ошибка",
         {"Параметры отправлены, но прочитать их обратно", "копий блока не совпала"}},
        {"write differs", WriteOutcome(differs, tree, sent), OutcomeKind::Mismatch, "Ошибка",
         {"Параметры, прочитанные из устройства после записи, отличаются от записанных:", "Нижний порог: записано"}},
        {"journal silent", JournalOutcome(silent), OutcomeKind::NoController, "Ошибка",
         {kNoLink, "Прочитано записей: 3, не прочитано: 152.", "Журнал аварий не читался"}},
        {"journal unanswered", JournalOutcome(unanswered), OutcomeKind::NoController, "Ошибка",
         {"Устройство передает кадры, но не отвечает на запросы журнала: 5 записей подряд",
          "Прочитано записей: 105, не прочитано: 50."}},
        {"send busy", SendOutcomeOf(busy), OutcomeKind::NoController, "Ошибка", {kNoLink}},
        {"hours checked", ServiceWriteOutcome(ServiceWrite::MotorHours, "1000:05", {true, TransferFailure::None, true}),
         OutcomeKind::Done, "info", {"Счетчик моточасов установлен: 1000:05. Проверено чтением."}},
        {"serial differs", ServiceWriteOutcome(ServiceWrite::SerialNumber, "SN-42-7Q", {true, TransferFailure::None, false}),
         OutcomeKind::Mismatch, "Ошибка", {"Серийный номер прочитан обратно не таким", "«SN-42-7Q»"}},
        {"serial unread", ServiceWriteOutcome(ServiceWrite::SerialNumber, "SN-42-7Q", {false, TransferFailure::NoReply, false}),
         OutcomeKind::NotVerified, "Ошибка", {"Серийный номер отправлен, но прочитать его обратно", kNoAnswerText}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got.kind, c.kind) << c.name;
        EXPECT_EQ(c.got.caption, c.caption) << c.name;
        EXPECT_EQ(c.got.text.rfind(c.says[0], 0), 0u) << c.name << ": " << c.got.text;
        EXPECT_EQ(c.got.text.empty(), c.says[0].empty()) << c.name;
        for (const std::string& piece : c.says) EXPECT_NE(c.got.text.find(piece), std::string::npos) << c.name << ": " << c.got.text;
        EXPECT_FALSE(c.got.shownByLink) << c.name;
    }
    EXPECT_TRUE(WriteOutcome(Written(2), tree, sent).offerRetry);
    EXPECT_FALSE(WriteOutcome(Written(4), tree, sent).offerRetry);
    EXPECT_EQ(JournalOutcome(unanswered).text.find("Журнал аварий"), std::string::npos);
    EXPECT_TRUE(JournalOutcome(JournalReading{}).text.empty());
    EXPECT_TRUE(SendOutcomeOf(hooked).shownByLink);
    EXPECT_EQ(SendOutcomeOf(hooked).kind, OutcomeKind::NoController);
}

}  // namespace
}  // namespace lum
