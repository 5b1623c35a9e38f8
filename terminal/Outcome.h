#pragma once
// What the user is told at the end of a configuration read or write, a journal reading and
// a service request: the caption and text of the window's box, and the kind lumctl turns
// into its exit code. The window and lumctl both word their results through here, so they
// say the same thing about the same result.
//
// Threads: pure functions, any thread.
#include <string>

#include "params/ParamTree.h"
#include "params/Transfer.h"
#include "service/Commands.h"
#include "service/Journal.h"

namespace lum {

enum class OutcomeKind {
    Done,          // the operation did what was asked
    NoController,  // no controller answered (or another transaction held the link)
    Disagreement,  // replies came, but no two copies of a block agreed: a spoilt line
    CutOff,        // a write stopped after some blocks: the controller may hold a mix
    NotVerified,   // everything was sent, the read-back failed
    Mismatch,      // the read-back differs from what was sent
    Interrupted,   // stopped on request
};

struct Outcome {
    OutcomeKind kind = OutcomeKind::Done;
    std::string caption;  // the box's caption ("info" or "Ошибка")
    std::string text;     // empty: nothing to show
    // The link's NoController hook has already told the user: the window shows no box.
    bool shownByLink = false;
    // A write cut off: the window asks kWriteAgainQuestion and writes again on "Да".
    bool offerRetry = false;
    bool Ok() const { return kind == OutcomeKind::Done; }
};

// Appended by lumctl to a write's success, which it always checks by reading back.
inline constexpr const char* kVerifiedByReading = "Проверено чтением.";
// The controller sends frames but answers no request.
inline constexpr const char* kNoAnswerText =
    "Устройство передает кадры, но не отвечает на запросы. Попробуйте еще раз.";
inline constexpr const char* kWriteAgainQuestion = "Записать параметры еще раз?";

Outcome ReadOutcome(const ReadResult& r);
// `tree` and `sent` name the parameters that read back otherwise than they were sent.
Outcome WriteOutcome(const WriteResult& w, const IParamTree& tree, const ConfigImage& sent);
// A reading that ended early tells why (no controller frame: "Нет связи…"; frames but no
// answers: kNoAnswerText; stopped: Interrupted), how many records it listed and that the
// alarm list it did not reach still shows the previous reading. Otherwise Done with no
// text (the status bar counts).
Outcome JournalOutcome(const JournalReading& r);
// A one-shot command or a service write as sent (nothing read back).
Outcome SendOutcomeOf(const SendResult& r);

// A service write read back for its check.
enum class ServiceWrite { MotorHours, SerialNumber };
struct ServiceReadBack {
    bool read = false;  // two agreeing copies came back
    TransferFailure failure = TransferFailure::None;
    bool equal = false;  // what came back is what was sent
};
// `value` is the value as the user typed it ("1000:05", "SN-42-7Q").
Outcome ServiceWriteOutcome(ServiceWrite what, const std::string& value, const ServiceReadBack& back);

}  // namespace lum
