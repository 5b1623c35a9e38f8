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
Outcome ReadFailure(TransferFailure f, const std::string& block) {
    switch (f) {
        case TransferFailure::None: break;
        case TransferFailure::NoReply: return Make(OutcomeKind::NoController, kNoLinkRetryText);
        case TransferFailure::Disagreement:
            return Make(OutcomeKind::Disagreement, "Блок " + block + ". " + kDisagreementText);
        case TransferFailure::Stopped: return Make(OutcomeKind::Interrupted, "Чтение остановлено.");
    }
    return Make(OutcomeKind::Done, {});
}

}  // namespace

Outcome ReadOutcome(const ReadResult& r) {
    if (r.Ok) return Make(OutcomeKind::Done, "Параметры успешно прочитаны из устройства.");
    const std::size_t at = std::min(r.BlocksRead, ReadBlocks.size() - 1);
    return ReadFailure(r.Failure, BlockText(ReadBlocks[at]));
}

Outcome WriteOutcome(const WriteResult& w, const IParamTree& tree, const ConfigImage& sent) {
    if (!w.AllWritten()) {
        std::string written;
        for (std::size_t i = 0; i < w.BlocksWritten; ++i) written += (i ? ", " : "") + BlockText(WriteBlocks[i]);
        if (w.Failure == TransferFailure::Stopped) {
            return Make(OutcomeKind::Interrupted,
                        w.BlocksWritten == 0 ? "Запись остановлена: ни один блок не записан."
                                             : "Запись остановлена: записаны блоки (адреса) " + written +
                                                   ", остальные нет. В устройстве смесь старых и новых параметров.");
        }
        if (w.BlocksWritten == 0) return Make(OutcomeKind::NoController, kNoLinkRetryText);
        return Make(OutcomeKind::CutOff, "Запись оборвалась после " + std::to_string(w.BlocksWritten) + " из " +
                                             std::to_string(WriteBlocks.size()) + " блоков: записаны блоки (адреса) " +
                                             written + ", остальные нет. В устройстве может оказаться смесь старых и "
                                             "новых параметров. " + kNoLinkRetryText);
    }
    if (!w.Verified) {
        const std::string why = w.VerifyFailure == TransferFailure::Disagreement ? kDisagreementText : kNoLinkRetryText;
        return Make(OutcomeKind::NotVerified,
                    "Параметры отправлены, но прочитать их обратно для проверки не удалось. " + why);
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
    if (r.lineSilent) {
        const std::size_t listed = r.events.size() + r.alarms.size();
        return Make(OutcomeKind::NoController,
                    std::string(kNoLinkRetryText) +
                        (listed ? " Прочитано записей до обрыва связи: " + std::to_string(listed) + "." : ""));
    }
    if (r.stopped) return Make(OutcomeKind::Interrupted, "Чтение журналов остановлено: журналы прочитаны не полностью.");
    return Make(OutcomeKind::Done, {});
}

Outcome SendOutcomeOf(const SendResult& r) {
    if (r.Ok()) return Make(OutcomeKind::Done, {});
    Outcome o = Make(OutcomeKind::NoController, kNoLinkRetryText);
    o.shownByLink = r.reportedByLink;
    return o;
}

Outcome ServiceWriteOutcome(ServiceWrite what, const std::string& value, const ServiceReadBack& back) {
    const std::string name = what == ServiceWrite::MotorHours ? "Счетчик моточасов" : "Серийный номер";
    if (!back.read) {
        const std::string why = back.failure == TransferFailure::Disagreement ? kDisagreementText : kNoLinkRetryText;
        return Make(OutcomeKind::NotVerified, name + " отправлен, но прочитать его обратно для проверки не удалось. " + why);
    }
    if (!back.equal)
        return Make(OutcomeKind::Mismatch, name + " прочитан обратно не таким, как записан: устройство не приняло «" +
                                               value + "».");
    return Make(OutcomeKind::Done, name + " установлен: " + value + ". " + kVerifiedByReading);
}

}  // namespace lum
