// Configuration reads through a noisy line, in virtual time. The simulated controller's
// replies cross a 9600-baud line (one character every 1.04 ms) into the tool's receive
// path, with the simulator's noise on every character it sends; the transfer runs its
// real rules (two agreeing copies, pieces chosen from the bad-check rate, the time
// budget) over transactions that wait like the link's: up to 10 ticks of 300 ms for a
// controller frame before the request, 2 ticks for the reply.
//
//   bench_config_noise [READS [INTERVAL_MS [SEED]]]        defaults: 20 300 1
//       per noise level 0, 0.002, 0.01 and 0.02, with --chunked: reads tried, succeeded,
//       median and worst time, transactions per read, blocks accepted corrupted (checked
//       against a clean twin of the controller), and one write with its read-back.
//   bench_config_noise accept NOISE [REQUESTS [SEED]]      defaults: 0.02 200000 1
//       how often a single corrupted reply passes the frame check, against the blocks
//       accepted under the two-copies rule.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/FrameCodec.h"
#include "link/ReceivePath.h"
#include "params/Transfer.h"
#include "sim/ControllerCore.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr auto kCharTime = std::chrono::microseconds(1042);  // 10 bits at 9600 baud

class VirtualLink : public lum::IBlockLink {
  public:
    explicit VirtualLink(const lum::sim::SimOptions& o) : core_(o, now_) {
        rx_.FrameCounted = [this](std::uint32_t) {
            ++frames_;
            ok_ = state_.RxFrameCheckOk;
            last_.assign(state_.RxFrame.begin(), state_.RxFrame.begin() + state_.RxFrameLength);
        };
    }
    lum::TxResult ReadBlock(std::uint16_t address, std::uint8_t count, std::span<std::uint8_t> destination) override {
        ++requests;
        if (!NextFrame(lum::kBlockWaitTicks * lum::kTickPeriod)) return lum::TxResult::NoControllerFrame;
        Send(lum::BuildReadFrame(address, count));
        if (!NextFrame(lum::kReplyWaitTicks * lum::kTickPeriod)) return lum::TxResult::NoReply;
        if (!ok_) return lum::TxResult::CorruptReply;
        if (last_[1] != lum::kReadCode) return lum::TxResult::WrongCode;
        if (last_.size() < 5u + count + 1u) return lum::TxResult::ShortReply;
        std::copy_n(last_.begin() + 5, count, destination.begin());
        ++accepted;
        if (!std::equal(destination.begin(), destination.end(), core_.GetMemory().begin() + address)) ++corrupted;
        return lum::TxResult::Done;
    }
    lum::TxResult SendWriteBlock(std::uint16_t address, std::uint8_t count, std::span<const std::uint8_t> data) override {
        ++writes;
        if (!NextFrame(lum::kBlockWaitTicks * lum::kTickPeriod)) return lum::TxResult::NoControllerFrame;
        Send(lum::BuildWriteFrame(address, count, data));
        return lum::TxResult::Done;
    }
    Clock::time_point Now() const { return now_; }
    const lum::sim::Memory& Memory() const { return core_.GetMemory(); }

    long long requests = 0, writes = 0, accepted = 0, corrupted = 0;

  private:
    // The request crosses the line, then the controller takes it in.
    void Send(const std::string& frame) {
        Advance(now_ + static_cast<long long>(frame.size()) * kCharTime);
        core_.Receive(frame, now_);
    }
    // Runs the controller and the line to `until`, handing arrived characters to the receive path.
    void Advance(Clock::time_point until) {
        while (now_ < until) {
            now_ = std::min(until, now_ + 1ms);
            for (std::string& w : core_.TakeDue(now_)) {
                lineFree_ = std::max(lineFree_, now_) + static_cast<long long>(w.size()) * kCharTime;
                inFlight_.push_back({lineFree_, std::move(w)});
            }
            while (!inFlight_.empty() && inFlight_.front().first <= now_) {
                rx_.Chunk(inFlight_.front().second);
                inFlight_.erase(inFlight_.begin());
            }
        }
    }
    bool NextFrame(Clock::duration limit) {
        const long long before = frames_;
        const auto end = now_ + limit;
        while (now_ < end && frames_ == before) Advance(now_ + 1ms);
        return frames_ != before;
    }
    Clock::time_point now_{};
    Clock::time_point lineFree_{};
    std::vector<std::pair<Clock::time_point, std::string>> inFlight_;
    lum::sim::ControllerCore core_;
    lum::LinkState state_;
    lum::ReceivePath rx_{state_};
    long long frames_ = 0;
    bool ok_ = false;
    std::vector<std::uint8_t> last_;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void Reads(int reads, int intervalMs, std::uint64_t seed) {
    std::printf("%d reads per level, status every %d ms, --chunked, seed %llu\n", reads, intervalMs,
                static_cast<unsigned long long>(seed));
    std::printf("%-7s %6s %9s %8s %8s %8s %12s %10s\n", "noise", "tried", "succeeded", "median", "worst", "tx/read",
                "corrupt-acc", "piece");
    for (const double noise : {0.0, 0.002, 0.01, 0.02}) {
        lum::sim::SimOptions o;
        o.noise = noise;
        o.chunked = true;
        o.seed = seed;
        o.interval = std::chrono::milliseconds(intervalMs);
        VirtualLink link(o);
        lum::sim::SimOptions clean = o;
        clean.noise = 0;
        lum::sim::ControllerCore twin(clean, Clock::time_point{});

        std::vector<double> times;
        int ok = 0, corruptBlocks = 0;
        long long transactions = 0;
        int lastPiece = lum::kMaxPieceSize;
        for (int i = 0; i < reads; ++i) {
            lum::TransferOptions options;
            options.clock = [&] { return link.Now(); };
            lum::ConfigImage image = lum::ErasedImage();
            const auto start = link.Now();
            const lum::ReadResult r = lum::ReadConfiguration(link, image, options);
            times.push_back(Seconds(link.Now() - start));
            transactions += r.Stats.Transactions;
            lastPiece = r.Stats.PieceSize;
            if (!r.Ok) continue;
            ++ok;
            twin.TakeDue(link.Now());
            for (const lum::ImageBlock& b : lum::ReadBlocks)
                if (!std::equal(image.begin() + b.Address, image.begin() + b.Address + b.Count,
                                twin.GetMemory().begin() + b.Address))
                    ++corruptBlocks;
        }
        std::sort(times.begin(), times.end());
        std::printf("%-7.3f %6d %9d %7.1fs %7.1fs %8.1f %12d %10d\n", noise, reads, ok, times[times.size() / 2],
                    times.back(), static_cast<double>(transactions) / reads, corruptBlocks, lastPiece);

        // One write of what the controller holds, with its read-back.
        lum::ConfigImage image{};
        std::copy(link.Memory().begin(), link.Memory().end(), image.begin());
        const long long w0 = link.writes, r0 = link.requests;
        lum::TransferOptions options;
        options.clock = [&] { return link.Now(); };
        const lum::WriteResult w = lum::WriteConfiguration(link, image, options);
        std::printf("        write: %s, %lld writes, %lld reads\n", w.Ok() ? "ok" : "failed", link.writes - w0,
                    link.requests - r0);
    }
}

void Accept(double noise, long long requests, std::uint64_t seed) {
    lum::sim::SimOptions o;
    o.noise = noise;
    o.seed = seed;
    o.interval = 100ms;
    VirtualLink link(o);
    long long blocks = 0, blocksCorrupted = 0, blockFailures = 0;
    std::vector<std::uint8_t> bytes(64);
    for (std::uint16_t address = 0; link.requests < requests; address = static_cast<std::uint16_t>((address + 64) % 256)) {
        lum::TransferFailure failure{};
        if (lum::ReadBlockAgreed(link, address, 64, bytes, failure)) {
            ++blocks;
            if (!std::equal(bytes.begin(), bytes.end(), link.Memory().begin() + address)) ++blocksCorrupted;
        } else {
            ++blockFailures;
        }
    }
    std::printf("noise %.4f per character, %lld read requests\n", noise, link.requests);
    std::printf("one copy:   %lld replies accepted, %lld with corrupted data (%.2e)\n", link.accepted, link.corrupted,
                link.accepted ? static_cast<double>(link.corrupted) / link.accepted : 0.0);
    std::printf("two agreeing copies: %lld blocks accepted, %lld with corrupted data; %lld blocks failed\n", blocks,
                blocksCorrupted, blockFailures);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "accept") == 0) {
        Accept(argc > 2 ? std::atof(argv[2]) : 0.02, argc > 3 ? std::atoll(argv[3]) : 200000,
               argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1);
        return 0;
    }
    Reads(argc > 1 ? std::atoi(argv[1]) : 20, argc > 2 ? std::atoi(argv[2]) : 300,
          argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);
    return 0;
}
