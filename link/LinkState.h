#pragma once
// The state the receive path and the request/reply transactions share: the last decoded
// frame, the reply slot and the link's failure counters. One plain record owned by the
// main window; main thread only (the receive path and the transactions both run there).
#include <array>
#include <cstddef>
#include <cstdint>

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
    std::uint32_t WrongCode = 0;        // the first frame after the request carried another code
    std::uint32_t CorruptReply = 0;     // the first frame after the request failed its check
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

struct LinkState {
    // The last frame decoded (any kind). Positions past RxFrameLength keep older bytes.
    RxFrameStore RxFrame{};
    std::size_t RxFrameLength = 0;
    bool RxFrameCheckOk = false;

    // Controller frames decoded since start (the status bar shows it); never reset.
    std::uint32_t RxFrameCount = 0;

    // Reply slot. ReplyArrived is set by the receive path for every controller frame and
    // cleared only by the transactions; Reply is the first controller frame decoded since
    // that clear, kept even when more frames follow before the transaction looks at it.
    bool ReplyArrived = false;
    DecodedFrame Reply;
    std::uint8_t WaitTicks = 0;
    bool TransferOk = false;

    // True while the receive path is dispatching a frame (its hooks are running).
    bool Dispatching = false;

    LinkCounters Counters;
};

}  // namespace lum
