#pragma once
// What the tool's side of the link accepted from a noisy simulated controller, checked
// against the clean twin of that controller (sim/SimLoop.h): every status record shown
// must be one the twin sent, in the twin's order; every transaction must end as the first
// controller frame decoded after its request dictates, and what it delivers must be that
// frame's data.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/FrameCodec.h"
#include "link/LinkState.h"
#include "link/ReceivePath.h"
#include "telemetry/StatusRecord.h"

namespace lum::sim {

struct SeenFrame {
    bool checkOk = false;
    std::vector<std::uint8_t> bytes;
};

// Everything the receive path counted and showed, and where the last request went out.
struct LinkTrace {
    static constexpr std::size_t kNotSent = std::numeric_limits<std::size_t>::max();

    std::vector<SeenFrame> frames;               // every controller frame counted, in order
    std::vector<std::vector<std::uint8_t>> shown;  // data bytes of every status record shown
    std::size_t sendMark = kNotSent;             // frames counted when the last request went out

    // Takes the receive path's FrameCounted and DecodeStatusRecord hooks.
    void Attach(ReceivePath& rx, const LinkState& state) {
        rx.FrameCounted = [this, &state](std::uint32_t) {
            frames.push_back({state.RxFrameCheckOk, {state.RxFrame.begin(), state.RxFrame.begin() +
                                                                                static_cast<std::ptrdiff_t>(state.RxFrameLength)}});
        };
        rx.DecodeStatusRecord = [this](const LinkState& s) {
            const auto end = s.RxFrame.begin() + static_cast<std::ptrdiff_t>(s.RxFrameLength);
            const auto data = s.RxFrame.begin() + DataOffset;
            shown.emplace_back(data, data + std::min<std::ptrdiff_t>(kStatusDataLength, std::max<std::ptrdiff_t>(end - data, 0)));
        };
    }
    // The transactions' echo hook calls this as each request goes out.
    void MarkSend() { sendMark = frames.size(); }
};

// The reply rule: the first controller frame counted after the request (before the
// transaction returned, frames [sendMark, end)) is the reply. The transaction succeeds
// exactly when that frame passed its checks, carries `code` and at least `count` data
// bytes, and then delivers those bytes. Empty when the outcome agrees, else what is wrong.
inline std::string CheckReply(const LinkTrace& trace, std::size_t end, bool ok, std::span<const std::uint8_t> got,
                              std::uint8_t code, std::size_t count) {
    if (trace.sendMark == LinkTrace::kNotSent) return ok ? "succeeded without sending its request" : "";
    if (trace.sendMark >= end) return ok ? "succeeded without a frame after its request" : "";
    const SeenFrame& first = trace.frames[trace.sendMark];
    const bool good = first.checkOk && first.bytes.size() >= DataOffset + count + 1 && first.bytes[1] == code;
    if (ok != good) {
        return std::string(ok ? "succeeded" : "failed") + " on a first frame after the request with code " +
               std::to_string(first.bytes.size() > 1 ? first.bytes[1] : -1) + ", " +
               std::to_string(first.bytes.size()) + " bytes, check " + (first.checkOk ? "good" : "bad");
    }
    if (ok && !std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(count),
                          first.bytes.begin() + DataOffset)) {
        return "delivered other bytes than the first frame after the request";
    }
    return "";
}

// The data bytes of every status record in a clean stream of characters, in order.
inline std::vector<std::vector<std::uint8_t>> StatusRecordsIn(std::string_view sent) {
    std::vector<std::vector<std::uint8_t>> records;
    std::size_t pos = 0;
    for (;;) {
        const auto start = sent.find(kFrameStart, pos);
        if (start == std::string_view::npos) break;
        const auto end = sent.find(kFrameEnd, start);
        if (end == std::string_view::npos) break;
        const auto bytes = DecodeFrameBody(sent.substr(start + 1, end - start - 1));
        if (bytes.size() == DataOffset + kStatusDataLength + 1u && bytes[1] == kStatusCode) {
            records.emplace_back(bytes.begin() + DataOffset, bytes.end() - 1);
        }
        pos = end + 1;
    }
    return records;
}

// Each record shown must be one the twin sent, later in the twin's order than the one
// shown before it. Reports every record that is not, and returns how many were compared.
inline std::size_t ExpectShownRecordsAreTheTwins(const std::vector<std::vector<std::uint8_t>>& shown,
                                                 const std::vector<std::vector<std::uint8_t>>& clean) {
    std::size_t next = 0;
    int reported = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        std::size_t j = next;
        while (j < clean.size() && clean[j] != shown[i]) ++j;
        if (j == clean.size()) {
            ADD_FAILURE() << "status record " << i << " shown is none the clean controller sent after record "
                          << next;
            if (++reported == 5) return i;
            continue;
        }
        next = j + 1;
    }
    return shown.size();
}

}  // namespace lum::sim
