#pragma once
// What the tool's side of the link accepted from a noisy simulated controller, checked
// against the clean twin of that controller (sim/SimLoop.h): every status record shown
// must be one the twin sent, in the twin's order; every transaction must end as its reply
// (see CheckReply) dictates, and what it delivers must be that frame's data.
//
// The one corruption tolerated is the one no check on the line can see: a frame whose
// hex text was intact and whose check byte still matches (two corrupted digits in the same
// nibble position cancel in an 8-bit XOR). Such a frame is counted as check-blind, never
// silently passed; its text is looked up among the noisy controller's characters where
// they are at hand, elsewhere the check byte alone decides.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/FrameCodec.h"
#include "link/LinkState.h"
#include "link/ReceivePath.h"
#include "link/Transactions.h"
#include "sim/ControllerCore.h"
#include "telemetry/StatusRecord.h"

namespace lum::sim {

struct SeenFrame {
    bool checkOk = false;
    std::vector<std::uint8_t> bytes;
};

// Everything the receive path counted and showed, and where the last request went out.
struct LinkTrace {
    static constexpr std::size_t kNotSent = std::numeric_limits<std::size_t>::max();

    std::vector<SeenFrame> frames;                 // every controller frame counted, in order
    std::vector<std::vector<std::uint8_t>> shown;  // the bytes of every status frame shown
    std::size_t sendMark = kNotSent;             // frames counted when the last request went out

    // Takes the receive path's FrameCounted and DecodeStatusRecord hooks.
    void Attach(ReceivePath& rx, const LinkState& state) {
        rx.FrameCounted = [this, &state](std::uint32_t) {
            frames.push_back({state.RxFrameCheckOk, {state.RxFrame.begin(), state.RxFrame.begin() +
                                                                                static_cast<std::ptrdiff_t>(state.RxFrameLength)}});
        };
        rx.DecodeStatusRecord = [this](const LinkState& s) {
            shown.emplace_back(s.RxFrame.begin(), s.RxFrame.begin() + static_cast<std::ptrdiff_t>(s.RxFrameLength));
        };
    }
    // The transactions' echo hook calls this as each request goes out.
    void MarkSend() { sendMark = frames.size(); }
};

// The reply rule: the reply is the first controller frame counted after the request (before
// the transaction returned, frames [sendMark, end)) that is intact with `code`, or corrupted,
// as long as a whole reply and without the status code. The transaction succeeds exactly
// when that frame passed its checks and carries at least `count` data bytes, and then
// delivers those bytes. Empty when the outcome agrees, else what is wrong.
inline std::size_t ReplyIndex(const LinkTrace& trace, std::size_t end, std::uint8_t code, std::size_t count) {
    std::size_t at = trace.sendMark;
    const auto isReply = [&](const SeenFrame& f) {
        return f.checkOk ? f.bytes[1] == code : f.bytes.size() == DataOffset + count + 1 && f.bytes[1] != kStatusCode;
    };
    while (at < end && !isReply(trace.frames[at])) ++at;
    return at;
}
inline std::string CheckReply(const LinkTrace& trace, std::size_t end, bool ok, std::span<const std::uint8_t> got,
                              std::uint8_t code, std::size_t count) {
    if (trace.sendMark == LinkTrace::kNotSent) return ok ? "succeeded without sending its request" : "";
    const std::size_t at = ReplyIndex(trace, end, code, count);
    if (at >= end) return ok ? "succeeded without its reply after its request" : "";
    const SeenFrame& first = trace.frames[at];
    // The check byte is recomputed here, apart from the receive path's verdict.
    const bool good = first.checkOk && FrameCheckOk(first.bytes) && first.bytes.size() >= DataOffset + count + 1 &&
                      first.bytes[1] == code;
    if (ok != good) {
        return std::string(ok ? "succeeded" : "failed") + " on a reply with code " +
               std::to_string(first.bytes.size() > 1 ? first.bytes[1] : -1) + ", " +
               std::to_string(first.bytes.size()) + " bytes, check " + (first.checkOk ? "good" : "bad");
    }
    if (ok && !std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(count),
                          first.bytes.begin() + DataOffset)) {
        return "delivered other bytes than its reply";
    }
    return "";
}

// The bytes of every status frame in a clean stream of characters, in order.
inline std::vector<std::vector<std::uint8_t>> StatusFramesIn(std::string_view sent) {
    std::vector<std::vector<std::uint8_t>> frames;
    std::size_t pos = 0;
    for (;;) {
        const auto start = sent.find(kFrameStart, pos);
        if (start == std::string_view::npos) break;
        const auto end = sent.find(kFrameEnd, start);
        if (end == std::string_view::npos) break;
        auto bytes = DecodeFrameBody(sent.substr(start + 1, end - start - 1));
        if (bytes.size() > 1 && bytes[1] == kStatusCode) frames.push_back(std::move(bytes));
        pos = end + 1;
    }
    return frames;
}

// True for a frame no check on the line can tell from an intact one: its check byte
// matches and, where the noisy characters are known (`noisy` not empty), its exact wire
// text was among them.
inline bool CheckBlind(std::span<const std::uint8_t> frame, std::string_view noisy) {
    return FrameCheckOk(frame) && (noisy.empty() || noisy.find(FrameText(frame)) != std::string_view::npos);
}

struct Comparison {
    std::size_t compared = 0;
    std::size_t checkBlind = 0;  // accepted, not what was sent, and invisible to every check
};

// Each status frame shown must be one the twin sent, later in the twin's order than the
// one shown before it, or else check-blind. Reports every other one as a failure.
inline Comparison CompareShownWithTwin(const std::vector<std::vector<std::uint8_t>>& shown,
                                       const std::vector<std::vector<std::uint8_t>>& clean,
                                       std::string_view noisy = {}) {
    Comparison result;
    std::size_t next = 0;
    for (const auto& frame : shown) {
        ++result.compared;
        std::size_t j = next;
        while (j < clean.size() && clean[j] != frame) ++j;
        if (j < clean.size()) {
            next = j + 1;
        } else if (CheckBlind(frame, noisy)) {
            ++result.checkBlind;
        } else {
            ADD_FAILURE() << "status frame " << result.compared - 1 << " shown was not sent (after clean record "
                          << next << "), and a check could have told";
        }
    }
    return result;
}

// What the controller holds, as its clean twin has it.
struct TwinContent {
    Memory memory{};
    std::vector<JournalRecord> events;
};

struct RoundTally {
    int blocks = 0;        // block reads accepted
    int records = 0;       // journal records accepted
    int shortAsked = 0;    // reads that ran past the end of memory (the reply is short)
    int checkBlind = 0;    // accepted, not the controller's, and invisible to every check
};

// One round of requests, each checked: a block read (address and count chosen by the
// round; some run past the end of memory, where the controller answers short) and, every
// `journalEvery` rounds, an event journal record. A transaction must end as the first
// frame after its request dictates (CheckReply); a failed one leaves its destination
// alone; what is accepted must be the controller's, or else check-blind (`noisy` gives
// the noisy controller's characters at the moment of asking; see CheckBlind).
inline void CheckedRound(Transactions& tx, LinkTrace& trace, const TwinContent& twin,
                         const std::function<std::string()>& noisy, int round, int journalEvery, RoundTally& tally) {
    struct Read {
        std::uint16_t address;
        std::uint8_t count;
    };
    constexpr Read kReads[] = {{0, 64}, {64, 8}, {128, 16}, {184, 8}, {200, 4}, {250, 8}, {96, 2}, {224, 64}};
    const auto accepted = [&](const char* what, std::uint8_t code, std::size_t count) {
        if (CheckBlind(trace.frames[ReplyIndex(trace, trace.frames.size(), code, count)].bytes, noisy())) {
            ++tally.checkBlind;
        } else {
            ADD_FAILURE() << "corrupted " << what << " accepted in round " << round;
        }
    };

    const Read r = kReads[static_cast<std::size_t>(round) % std::size(kReads)];
    std::vector<std::uint8_t> dest(r.count, 0xC3);
    trace.sendMark = LinkTrace::kNotSent;
    const bool ok = Ok(tx.ReadBlock(r.address, r.count, dest));
    EXPECT_EQ(CheckReply(trace, trace.frames.size(), ok, dest, kReadCode, r.count), "")
        << "read " << r.address << "/" << int(r.count) << " in round " << round;
    const bool pastEnd = r.address + r.count > static_cast<int>(twin.memory.size());
    if (pastEnd) ++tally.shortAsked;
    if (ok) {
        ++tally.blocks;
        if (pastEnd) {
            ADD_FAILURE() << "a short reply was accepted in round " << round;
        } else if (!std::equal(dest.begin(), dest.end(), twin.memory.begin() + r.address)) {
            accepted("block", kReadCode, r.count);
        }
    } else {
        EXPECT_EQ(dest, std::vector<std::uint8_t>(r.count, 0xC3)) << "round " << round;
    }

    if (round % journalEvery != journalEvery - 1) return;
    const auto index = static_cast<std::uint8_t>(round / journalEvery % (twin.events.size() + 3));
    std::array<std::uint8_t, 5> record;
    record.fill(0xC3);
    trace.sendMark = LinkTrace::kNotSent;
    const bool got = Ok(tx.ReadJournalRecord(index, JournalSelector::Events, record));
    EXPECT_EQ(CheckReply(trace, trace.frames.size(), got, record, kJournalCode, 5), "")
        << "journal record " << int(index) << " in round " << round;
    if (!got) return;
    ++tally.records;
    if (record != (index < twin.events.size() ? JournalBytes(twin.events[index])
                                              : JournalBytes({0, 0, 0, 0, kJournalEnd}))) {
        accepted("journal record", kJournalCode, 5);
    }
}

}  // namespace lum::sim
