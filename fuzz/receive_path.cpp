// The receive path fed arbitrary line traffic.
//  - The same characters handed over in one chunk and in random chunks give the same
//    frames counted, in the same order, with the same check verdicts, the same status
//    records and the same bad-check count.
//  - RxBuffer never holds more than a frame that fits RxFrame (start byte and 512 digits).
//  - Only intact frames reach the status hook or a transaction: the frame's bytes pass
//    their check and its exact wire text (start byte, uppercase hex, terminator) is in the
//    traffic; a read that succeeds holds data of such a frame with code 5.
//
// Input: one byte seeding the chunk sizes, then the traffic.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/EventPump.h"
#include "link/FrameCodec.h"
#include "link/ReceivePath.h"
#include "link/Transactions.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

constexpr std::size_t kMaxRxBuffer = 1 + 2 * lum::kRxFrameSize;

std::string WireText(const std::uint8_t* bytes, std::size_t n) {
    std::string text(1, lum::kFrameStart);
    for (std::size_t i = 0; i < n; ++i) text += lum::ByteToHex(bytes[i]);
    return text + lum::kFrameEnd;
}

// An intact frame: its check holds and its wire text was on the line.
void RequireIntact(const std::uint8_t* bytes, std::size_t n, std::string_view traffic) {
    Require(n >= lum::kMinFrameLength && n <= lum::kRxFrameSize);
    Require(lum::FrameCheckOk(std::vector<std::uint8_t>(bytes, bytes + n)));
    Require(traffic.find(WireText(bytes, n)) != std::string_view::npos);
}

struct Seen {
    std::vector<std::string> frames;    // every frame counted: check verdict + bytes
    std::vector<std::string> statuses;  // every frame shown as a status record
    std::uint32_t badCheck = 0;
    std::uint32_t count = 0;
    bool operator==(const Seen&) const = default;
};

// Chunk sizes from a small generator seeded by the first input byte.
class Chunker {
  public:
    explicit Chunker(std::uint8_t seed) : state_(seed * 2654435761u + 1) {}
    std::size_t Next() {
        state_ = state_ * 1103515245u + 12345u;
        return 1 + (state_ >> 16) % 24;
    }

  private:
    std::uint32_t state_;
};

Seen Feed(std::string_view traffic, bool chunked, std::uint8_t seed) {
    lum::LinkState state;
    lum::ReceivePath rx(state);
    Seen seen;
    rx.FrameCounted = [&](std::uint32_t count) {
        Require(count == state.RxFrameCount);
        std::string entry(1, state.RxFrameCheckOk ? 'K' : 'X');
        entry.append(state.RxFrame.begin(), state.RxFrame.begin() + static_cast<std::ptrdiff_t>(state.RxFrameLength));
        seen.frames.push_back(entry);
        if (state.RxFrameCheckOk) Require(state.RxFrame[0] == 1);
    };
    rx.DecodeStatusRecord = [&](const lum::LinkState& s) {
        RequireIntact(s.RxFrame.data(), s.RxFrameLength, traffic);
        Require(s.RxFrame[0] == 1 && s.RxFrame[1] == lum::kStatusCode);
        seen.statuses.emplace_back(s.RxFrame.begin(), s.RxFrame.begin() + static_cast<std::ptrdiff_t>(s.RxFrameLength));
    };
    Chunker chunks(seed);
    std::size_t pos = 0;
    while (pos < traffic.size()) {
        const std::size_t n = chunked ? std::min(chunks.Next(), traffic.size() - pos) : traffic.size();
        rx.Chunk(traffic.substr(pos, n));
        pos += n;
        Require(rx.RxBuffer().size() <= kMaxRxBuffer);
        if (state.ReplyArrived && state.Reply.CheckOk) {
            RequireIntact(state.Reply.Bytes.data(), state.Reply.Length, traffic);
        }
    }
    seen.badCheck = state.Counters.BadCheck;
    seen.count = state.RxFrameCount;
    return seen;
}

// The traffic arrives chunk by chunk while the transactions wait; the clock moves by a
// tick whenever nothing is left to deliver, so every wait ends.
class ChunkPump : public lum::IEventPump {
  public:
    ChunkPump(lum::ReceivePath& rx, std::string_view traffic, std::uint8_t seed)
        : rx_(rx), traffic_(traffic), chunks_(seed) {}
    std::chrono::steady_clock::time_point now{};
    bool Exhausted() const { return pos_ >= traffic_.size(); }
    void RunPending(std::chrono::milliseconds maxWait) override {
        if (Exhausted()) {
            now += maxWait;
            return;
        }
        const std::size_t n = std::min(chunks_.Next(), traffic_.size() - pos_);
        rx_.Chunk(traffic_.substr(pos_, n));
        pos_ += n;
        now += std::chrono::milliseconds(5);
    }

  private:
    lum::ReceivePath& rx_;
    std::string_view traffic_;
    Chunker chunks_;
    std::size_t pos_ = 0;
};

class NullPort : public lum::IPortWriter {
  public:
    void WriteString(const std::string&) override {}
};

void Transact(std::string_view traffic, std::uint8_t seed) {
    lum::LinkState state;
    const ChunkPump* clock = nullptr;  // the receive path and the transactions share the pump's clock
    lum::ReceivePath rx(state, [&clock] { return clock->now; });
    ChunkPump pump(rx, traffic, seed);
    clock = &pump;
    NullPort port;
    lum::Transactions tx(state, port, pump, {}, [&pump] { return pump.now; });
    for (int round = 0; round < 64 && !pump.Exhausted(); ++round) {
        const auto count = static_cast<std::uint8_t>(1 + (seed + round) % 64);
        std::vector<std::uint8_t> dest(count, 0xA5);
        if (lum::Ok(tx.ReadBlock(0, count, dest))) {
            // The data of an intact code-5 frame that was on the line.
            Require(state.Reply.CheckOk && state.Reply.Bytes[1] == lum::kReadCode);
            RequireIntact(state.Reply.Bytes.data(), state.Reply.Length, traffic);
            Require(state.Reply.Length >= lum::DataOffset + count + 1u);
            Require(std::equal(dest.begin(), dest.end(), state.Reply.Bytes.begin() + lum::DataOffset));
        } else {
            Require(std::all_of(dest.begin(), dest.end(), [](std::uint8_t b) { return b == 0xA5; }));
        }
        std::uint8_t record[lum::kJournalRecordSize] = {};
        if (lum::Ok(tx.ReadJournalRecord(static_cast<std::uint8_t>(round), lum::JournalSelector::Events, record))) {
            Require(state.Reply.CheckOk && state.Reply.Bytes[1] == lum::kJournalCode);
            RequireIntact(state.Reply.Bytes.data(), state.Reply.Length, traffic);
            Require(std::equal(record, record + lum::kJournalRecordSize, state.Reply.Bytes.begin() + lum::DataOffset));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t seed = data[0];
    const std::string_view traffic(reinterpret_cast<const char*>(data + 1), size - 1);
    const Seen whole = Feed(traffic, false, seed);
    const Seen pieces = Feed(traffic, true, seed);
    Require(whole == pieces);
    Transact(traffic, seed);
    return 0;
}
