// How often a corrupted configuration block gets past the frame check, with one copy per
// block and with the rule that two copies must agree. The simulated controller runs in
// virtual time (no line): its replies go through the tool's receive path, with the
// simulator's noise on every character it sends, and each accepted block is compared with
// the controller's memory.
//
//   bench_config_noise [NOISE [REQUESTS [SEED]]]     defaults: 0.02 200000 1
//
// Prints the accepted single replies and how many carried corrupted data, and the blocks
// accepted under the two-copies rule and how many of those were corrupted.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/FrameCodec.h"
#include "link/ReceivePath.h"
#include "params/Transfer.h"
#include "sim/ControllerCore.h"

namespace {

using namespace std::chrono_literals;

// The controller in virtual time behind the block transactions' rules: wait for its next
// frame, send right after it, take the next frame as the reply (code 5 and a good check).
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
        if (!NextFrame()) return lum::TxResult::NoControllerFrame;
        core_.Receive(lum::BuildReadFrame(address, count), now_);
        if (!NextFrame()) return lum::TxResult::NoReply;
        if (!ok_) return lum::TxResult::CorruptReply;
        if (last_.size() < 5u + count + 1u || last_[1] != lum::kReadCode) return lum::TxResult::WrongCode;
        std::copy_n(last_.begin() + 5, count, destination.begin());
        ++accepted;
        if (!std::equal(destination.begin(), destination.end(), core_.GetMemory().begin() + address)) ++corrupted;
        return lum::TxResult::Done;
    }
    lum::TxResult SendWriteBlock(std::uint16_t, std::uint8_t, std::span<const std::uint8_t>) override {
        return lum::TxResult::Refused;
    }
    bool Matches(std::uint16_t address, std::span<const std::uint8_t> bytes) const {
        return std::equal(bytes.begin(), bytes.end(), core_.GetMemory().begin() + address);
    }

    long long requests = 0, accepted = 0, corrupted = 0;

  private:
    bool NextFrame() {
        const long long before = frames_;
        for (int ms = 0; ms < 3000 && frames_ == before; ++ms) {
            now_ += 1ms;
            for (const std::string& w : core_.TakeDue(now_)) rx_.Chunk(w);
        }
        return frames_ != before;
    }
    lum::sim::TimePoint now_{};
    lum::sim::ControllerCore core_;
    lum::LinkState state_;
    lum::ReceivePath rx_{state_};
    long long frames_ = 0;
    bool ok_ = false;
    std::vector<std::uint8_t> last_;
};

}  // namespace

int main(int argc, char** argv) {
    const double noise = argc > 1 ? std::atof(argv[1]) : 0.02;
    const long long requests = argc > 2 ? std::atoll(argv[2]) : 200000;
    lum::sim::SimOptions o;
    o.noise = noise;
    o.seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    o.interval = 100ms;

    VirtualLink link(o);
    long long blocks = 0, blocksCorrupted = 0, blockFailures = 0;
    std::vector<std::uint8_t> bytes(64);
    for (std::uint16_t address = 0; link.requests < requests; address = static_cast<std::uint16_t>((address + 64) % 256)) {
        lum::TransferFailure failure{};
        if (lum::ReadBlockAgreed(link, address, 64, bytes, failure)) {
            ++blocks;
            if (!link.Matches(address, bytes)) ++blocksCorrupted;
        } else {
            ++blockFailures;
        }
    }
    std::printf("noise %.4f per character, %lld read requests of 64 bytes\n", noise, link.requests);
    std::printf("one copy:   %lld replies accepted, %lld with corrupted data (%.2e)\n", link.accepted,
                link.corrupted, link.accepted ? static_cast<double>(link.corrupted) / link.accepted : 0.0);
    std::printf("two agreeing copies: %lld blocks accepted, %lld with corrupted data; %lld blocks failed\n", blocks,
                blocksCorrupted, blockFailures);
    return 0;
}
