#include "link/ReceivePath.h"

#include <algorithm>
#include <utility>

#include "common/ScopedFlag.h"
#include "link/FrameCodec.h"

namespace lum {
namespace {

// The longest body whose bytes fit into RxFrame: two characters per byte.
constexpr std::size_t kMaxBodyChars = 2 * kRxFrameSize;

bool IsUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Whether a controller frame is the reply the slot waits for (any frame when none is awaited).
bool IsTheReply(const LinkState& state, const std::vector<std::uint8_t>& bytes, bool checkOk) {
    if (!state.Expected) return true;
    if (checkOk) return bytes[1] == state.Expected->Code;
    return bytes.size() == state.Expected->Length && bytes[1] != kStatusCode;
}

}  // namespace

std::string FramesReceivedText(std::uint32_t count) {
    return "Пакетов принято: " + std::to_string(count);
}

ReceivePath::ReceivePath(LinkState& state, Clock clock) : state_(state), clock_(std::move(clock)) {}

void ReceivePath::DataReceived(int count, const std::function<std::string()>& readString) {
    if (count == 0) return;
    Chunk(readString());
}

void ReceivePath::Chunk(std::string_view chunk) {
    rxBuffer_.append(chunk);
    lineBuffer_.append(chunk);
    if (running_) {
        // A hook runs a nested event loop: the call already running frames this chunk too.
        if (RestartTimer1) RestartTimer1();
        return;
    }
    {
        ScopedFlag running(running_);
        for (;;) {
            HandOverLine();
            if (!NextFrame()) break;
        }
    }
    if (RestartTimer1) RestartTimer1();
}

void ReceivePath::HandOverLine() {
    if (LineStep) {
        if (!lineBuffer_.empty()) LineStep(lineBuffer_);
    } else if (lineBuffer_.find(kFrameEnd) != std::string::npos) {
        lineBuffer_.clear();
    }
}

bool ReceivePath::NextFrame() {
    for (;;) {
        const auto start = rxBuffer_.find(kFrameStart);
        if (start == std::string::npos) {
            // Nothing here can become a frame: it would be discarded in front of the next start byte.
            rxBuffer_.clear();
            return false;
        }
        rxBuffer_.erase(0, start);

        const auto end = rxBuffer_.find(kFrameEnd);
        if (end == std::string::npos) {
            // Incomplete. A later start byte means the frame in front of it lost its terminator.
            const auto restart = rxBuffer_.rfind(kFrameStart);
            if (restart != 0) {
                ++state_.Counters.Malformed;
                rxBuffer_.erase(0, restart);
            }
            if (rxBuffer_.size() - 1 > kMaxBodyChars) {
                // Longer than any frame RxFrame can hold: drop it now rather than let it grow.
                ++state_.Counters.Malformed;
                rxBuffer_.clear();
            }
            return false;
        }

        std::string body = rxBuffer_.substr(1, end - 1);
        rxBuffer_.erase(0, end + 1);
        const auto restart = body.rfind(kFrameStart);
        if (restart != std::string::npos) {
            ++state_.Counters.Malformed;
            body.erase(0, restart + 1);
        }
        if (body.size() > kMaxBodyChars || body.size() < 2 * kMinFrameLength) {
            ++state_.Counters.Malformed;
            continue;
        }
        Dispatch(body);
        return true;
    }
}

void ReceivePath::Dispatch(std::string_view body) {
    const bool textOk = body.size() % 2 == 0 && std::all_of(body.begin(), body.end(), IsUpperHex);
    const std::vector<std::uint8_t> bytes = DecodeFrameBody(body);
    std::copy(bytes.begin(), bytes.end(), state_.RxFrame.begin());
    state_.RxFrameLength = bytes.size();
    state_.RxFrameCheckOk = textOk && FrameCheckOk(bytes);

    if (!state_.RxFrameCheckOk) {
        ++state_.Counters.BadCheck;
    } else if (state_.RxFrame[0] != 1) {
        return;  // not a controller frame
    }

    ScopedFlag dispatching(state_.Dispatching);
    ++state_.RxFrameCount;
    state_.LastFrameAt = clock_();
    state_.LastFrameWasStatus = state_.RxFrameCheckOk && state_.RxFrame[1] == kStatusCode;
    if (FrameCounted) FrameCounted(state_.RxFrameCount);
    if (state_.RxFrameCheckOk && state_.RxFrame[1] == kStatusCode && DecodeStatusRecord) {
        DecodeStatusRecord(state_);
    }
    if (state_.ReplyArrived) return;
    if (!IsTheReply(state_, bytes, state_.RxFrameCheckOk)) {
        ++state_.PassedOver;
        return;
    }
    // The first such frame since the transaction cleared the flag is its reply, whatever
    // follows in the same chunk.
    std::copy(bytes.begin(), bytes.end(), state_.Reply.Bytes.begin());
    state_.Reply.Length = bytes.size();
    state_.Reply.CheckOk = state_.RxFrameCheckOk;
    state_.ReplyNumber = state_.RxFrameCount;
    state_.ReplyArrived = true;
}

}  // namespace lum
