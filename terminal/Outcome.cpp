#include "terminal/Outcome.h"

#include "common/Dialogs.h"
#include "params/ParamLookup.h"

namespace lum {
namespace {

constexpr const char* kDisagreementText =
    "Ответы устройства приходят искаженными: ни одна пара прочитанных копий блока не совпала. "
    "Проверьте кабель и попробуйте еще раз.";

Outcome Make(OutcomeKind kind, std::string text) {
    const char* caption = kind == OutcomeKind::Done ? kCaptionInfo : kCaptionErrorRu;
    return {kind, caption, std::move(text), false};
}

std::string BlockText(const ImageBlock& b) {
    return std::to_string(b.Address) + "–" + std::to_string(b.Address + b.Count - 1);
}

// Why a read (or a read-back) of blocks failed; Done for none.
Outcome ReadFailure(TransferFailure f, const std::string& blockName, const ReadStats& stats) {
    const std::string block = blockName.empty() ? std::string() : "Блок " + blockName + ". ";
    switch (f) {
        case TransferFailure::None: break;
        case TransferFailure::NoController: return Make(OutcomeKind::NoController, kNoLinkRetryText);
        case TransferFailure::NoReply:
            return Make(OutcomeKind::NoController, block + kNoAnswerText);
        case TransferFailure::Corrupted:
            return Make(OutcomeKind::Disagreement,
                        block + "Ответы устройства приходят искаженными: из " +
                            std::to_string(stats.Replies) + " ответов " + std::to_string(stats.Corrupted) +
                            " не прошли проверку (запросов " + std::to_string(stats.Transactions) +
                            "). Проверьте кабель и попробуйте еще раз.");
        case TransferFailure::Disagreement:
            return Make(OutcomeKind::Disagreement, block + kDisagreementText);
        case TransferFailure::Stopped: return Make(OutcomeKind::Interrupted, "Чтение остановлено.");
    }
    return Make(OutcomeKind::Done, {});
}

std::string BlockList(std::size_t blocks) {
    std::string written;
    for (std::size_t i = 0; i < blocks; ++i) written += (i ? ", " : "") + BlockText(WriteBlocks[i]);
    return written;
}

}  // namespace

Outcome ReadOutcome(const ReadResult& r) {
    if (r.Ok) return Make(OutcomeKind::Done, "Параметры успешно прочитаны из устройства.");
    const std::size_t at = std::min(r.BlocksRead, ReadBlocks.size() - 1);
    return ReadFailure(r.Failure, BlockText(ReadBlocks[at]), r.Stats);
}

Outcome WriteOutcome(const WriteResult& w, const IParamTree& tree, const ConfigImage& sent) {
    if (!w.AllWritten()) {
        const std::string written = BlockList(w.BlocksWritten);
        if (w.Failure == TransferFailure::Stopped) {
            return Make(OutcomeKind::Interrupted,
                        w.BlocksWritten == 0 ? "Запись остановлена: ни один блок не записан."
                                             : "Запись остановлена: записаны блоки (адреса) " + written +
                                                   ", остальные нет. В устройстве смесь старых и новых параметров.");
        }
        if (w.BlocksWritten == 0) return Make(OutcomeKind::NoController, kNoLinkRetryText);
        Outcome o = Make(OutcomeKind::CutOff, "Запись оборвалась после " + std::to_string(w.BlocksWritten) + " из " +
                                                  std::to_string(WriteBlocks.size()) +
                                                  " блоков: записаны блоки (адреса) " + written +
                                                  ", остальные нет. В устройстве может оказаться смесь старых и "
                                                  "новых параметров. " + kNoLinkRetryText);
        o.offerRetry = true;
        return o;
    }
    if (!w.Verified) {
        if (w.VerifyFailure == TransferFailure::Stopped)
            return Make(OutcomeKind::Interrupted,
                        "Все блоки записаны, проверка чтением остановлена: параметры в устройстве не проверены.");
        return Make(OutcomeKind::NotVerified, "Параметры отправлены, но прочитать их обратно для проверки не удалось. " +
                                                  ReadFailure(w.VerifyFailure, {}, w.VerifyStats).text);
    }
    if (!w.Mismatches.empty()) {
        std::string text = "Параметры, прочитанные из устройства после записи, отличаются от записанных:";
        for (const ParamDifference& d : DifferingParameters(tree, sent, w.ReadBack, WriteBlocks))
            text += "\n" + d.Path + ": записано «" + d.First + "», прочитано «" + d.Second + "»";
        for (std::size_t a : UncoveredDifferences(tree, sent, w.ReadBack, WriteBlocks)) {
            text += "\nАдрес " + std::to_string(a) + ": записан байт " + std::to_string(sent[a]) + ", прочитан " +
                    std::to_string(w.ReadBack[a]);
        }
        return Make(OutcomeKind::Mismatch, text);
    }
    return Make(OutcomeKind::Done, "Параметры успешно записаны в устройство.");
}

Outcome JournalOutcome(const JournalReading& r) {
    if (!r.EndedEarly()) return Make(OutcomeKind::Done, {});
    const std::size_t listed = r.events.size() + r.alarms.size();
    std::string text;
    OutcomeKind kind = OutcomeKind::NoController;
    if (r.lineSilent) {  // (lumctl also marks a reading it gave up on a quiet line so)
        text = kNoLinkRetryText;
    } else if (!r.gaveUp) {
        kind = OutcomeKind::Interrupted;
        text = "Чтение журналов остановлено: журналы прочитаны не полностью.";
    } else {
        text = "Устройство передает кадры, но не отвечает на запросы журнала: " +
               std::to_string(kJournalGiveUpRecords) + " записей подряд не прочитаны ни с одной попытки";
        if (r.corruptReplies > 0)
            text += " (искаженных ответов " + std::to_string(r.corruptReplies) + ", без ответа " +
                    std::to_string(r.unanswered) + ")";
        text += ". Попробуйте еще раз.";
    }
    text += " Прочитано записей: " + std::to_string(listed) + ", не прочитано: " + std::to_string(r.unread) + ".";
    if (!r.alarmsRead) text += " Журнал аварий не читался: в его списке осталось прошлое чтение.";
    return Make(kind, text);
}

Outcome SendOutcomeOf(const SendResult& r) {
    if (r.Ok()) return Make(OutcomeKind::Done, {});
    Outcome o = Make(OutcomeKind::NoController, kNoLinkRetryText);
    o.shownByLink = r.reportedByLink;
    return o;
}

Outcome ServiceWriteOutcome(ServiceWrite what, const std::string& value, const ServiceReadBack& back) {
    const std::string name = what == ServiceWrite::MotorHours ? "Счетчик моточасов" : "Серийный номер";
    if (!back.read)
        return Make(OutcomeKind::NotVerified, name + " отправлен, но прочитать его обратно для проверки не удалось. " +
                                                  ReadFailure(back.failure, {}, {}).text);
    if (!back.equal)
        return Make(OutcomeKind::Mismatch, name + " прочитан обратно не таким, как записан: устройство не приняло «" +
                                               value + "».");
    return Make(OutcomeKind::Done, name + " установлен: " + value + ". " + kVerifiedByReading);
}

}  // namespace lum
