#pragma once
// Receive path: every character the controller sends passes through here. The window's
// data-received handler passes each chunk; the path hands complete lines to the terminal,
// cuts frames (start byte 0x10 ... carriage return 0x0D) out of the stream, decodes them
// into RxFrame and dispatches them: status frames (code 21) to the status decoder, and
// a controller frame raises ReplyArrived for a waiting transaction: any controller frame
// while it waits to send, only its reply while it awaits one (LinkState::Expected). Other
// frames that come before the reply are dispatched as usual and only counted as passed
// over, so a status frame between a request and its reply does not spoil the reply.
// Every controller frame leaves its time (by the path's clock) in LastFrameAt.
//
// Framing rules:
//  - every complete frame in the buffer is decoded and dispatched, in arrival order; the
//    characters after the last carriage return wait for the next chunk;
//  - characters in front of a start byte are discarded; a start byte inside a frame
//    means the frame before it was cut off: that piece is dropped (Counters.Malformed);
//  - a frame whose bytes would not fit into RxFrame (256), or that is shorter than a
//    header and check byte, is dropped (Counters.Malformed) and leaves RxFrame alone;
//  - a frame whose check byte does not match, or whose text is not pairs of uppercase
//    hex digits, is corrupted (Counters.BadCheck). Its Kind byte cannot be trusted, so it
//    is taken for what every frame on this line is, a controller frame: it is counted in
//    RxFrameCount and raises ReplyArrived (the controller has spoken, so request timing
//    is unchanged), but nothing acts on its content: no status display, and when it is
//    taken as the reply (see LinkState) the transaction fails;
//  - an intact frame with Kind other than 1 is dropped silently (not counted, no reply).
//
// Threads: main thread only. Re-entrant: a chunk that arrives while a hook runs a nested
// event loop is appended and framed by the call already running.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/LinkState.h"

namespace lum {

inline constexpr std::uint8_t kStatusCode = 21;

// The text of status-bar panel 0 after `count` controller frames: "Пакетов принято: N".
std::string FramesReceivedText(std::uint32_t count);

class ReceivePath {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // `clock` must be the transactions' clock: they compare LastFrameAt with it.
    explicit ReceivePath(
        LinkState& state, Clock clock = [] { return std::chrono::steady_clock::now(); });

    // The window's data-received handler: nothing when count is 0, otherwise the chunk
    // that readString() returns (all characters pending in the port).
    void DataReceived(int count, const std::function<std::string()>& readString);
    // One chunk of received characters.
    void Chunk(std::string_view chunk);

    // Characters not yet framed, and characters since the last line was handed over.
    const std::string& RxBuffer() const { return rxBuffer_; }
    std::string& LineBuffer() { return lineBuffer_; }

    // Hooks (all optional).
    // Runs for an intact status frame: RxFrame holds it, RxFrameLength bytes long.
    std::function<void(const LinkState&)> DecodeStatusRecord;
    // Runs after every chunk while LineBuffer is not empty; the hook takes out the lines it
    // hands on (those ending in a carriage return, and any it cuts for length) and leaves
    // the rest for the next chunk. Unset: the buffer is emptied once it holds a carriage return.
    std::function<void(std::string& lineBuffer)> LineStep;
    // Runs after every received chunk: restart Timer1 with 300 ms.
    std::function<void()> RestartTimer1;
    // Runs when a controller frame has been counted, with the new RxFrameCount
    // (the window shows FramesReceivedText of it in status-bar panel 0).
    std::function<void(std::uint32_t count)> FrameCounted;

  private:
    void HandOverLine();
    // Cuts the next complete frame out of rxBuffer_ and dispatches it; false when none is left.
    bool NextFrame();
    void Dispatch(std::string_view body);

    LinkState& state_;
    Clock clock_;
    std::string rxBuffer_;
    std::string lineBuffer_;
    bool running_ = false;
};

}  // namespace lum
