#pragma once
// The state the receive path and the request/reply transactions share: the last decoded
// frame, the reply slot and the link's failure counters. One plain record owned by the
// main window; main thread only (the receive path and the transactions both run there).
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace lum {

// The decoded-frame store holds 256 bytes; a frame that would not fit is dropped.
inline constexpr std::size_t kRxFrameSize = 256;
using RxFrameStore = std::array<std::uint8_t, kRxFrameSize>;

// A frame is at least its five header bytes and the check byte.
inline constexpr std::size_t kMinFrameLength = 6;

// Protocol failures, counted apart from failures of the port itself.
struct LinkCounters {
    // Receive path.
    std::uint32_t BadCheck = 0;   // frames cut from the line whose check byte (or hex text) is wrong
    std::uint32_t Malformed = 0;  // frames too long for RxFrame, too short for a header, or cut off
                                  // by the next start byte; dropped without a trace otherwise
    // Transactions.
    std::uint32_t PreSendTimeouts = 0;  // no controller frame arrived before the request could go out
    std::uint32_t ReplyTimeouts = 0;    // no controller frame arrived after the request
    std::uint32_t WrongCode = 0;        // frames of other codes came after the request, and no reply
    std::uint32_t CorruptReply = 0;     // the reply failed its check
    std::uint32_t ShortReply = 0;       // the reply carried fewer data bytes than asked for
    std::uint32_t Refused = 0;          // a request refused because another one held the slot
    // The port writer raised (an OS failure, not a protocol failure).
    std::uint32_t PortErrors = 0;
};

// A copy of one decoded frame with its length and check verdict.
struct DecodedFrame {
    RxFrameStore Bytes{};
    std::size_t Length = 0;
    bool CheckOk = false;
};

// The reply a transaction waits for: a frame of this code, `Length` bytes long when whole.
struct ReplyExpectation {
    std::uint8_t Code = 0;
    std::size_t Length = 0;
};

struct LinkState {
    // The last frame decoded (any kind). Positions past RxFrameLength keep older bytes.
    RxFrameStore RxFrame{};
    std::size_t RxFrameLength = 0;
    bool RxFrameCheckOk = false;

    // Controller frames decoded since start (the status bar shows it); never reset.
    std::uint32_t RxFrameCount = 0;

    // When the last controller frame was decoded (by the receive path's clock), and whether
    // it was an intact status frame.
    std::optional<std::chrono::steady_clock::time_point> LastFrameAt;
    bool LastFrameWasStatus = false;

    // Reply slot. ReplyArrived is set by the receive path and cleared only by the
    // transactions; Reply is the frame that set it, kept even when more frames follow
    // before the transaction looks at it. While Expected is empty every controller frame
    // sets it (the wait for the controller's next frame). While a reply is awaited
    // (Expected set) only the reply does: an intact frame of the expected code, or a
    // corrupted frame exactly as long as the whole reply (noise changes characters, not
    // their number) whose code byte is not the status code; every other frame is only
    // counted in PassedOver, after being dispatched as usual. ReplyNumber is the
    // RxFrameCount of the reply.
    bool ReplyArrived = false;
    DecodedFrame Reply;
    std::optional<ReplyExpectation> Expected;
    std::uint32_t PassedOver = 0;
    std::uint32_t ReplyNumber = 0;
    std::uint8_t WaitTicks = 0;
    bool TransferOk = false;

    // True while the receive path is dispatching a frame (its hooks are running).
    bool Dispatching = false;

    // The controller did not answer a request sent right after its reply: until the port
    // is opened again, requests wait for the controller's next frame (the health line says so).
    bool ChainingOff = false;

    LinkCounters Counters;
};

}  // namespace lum
