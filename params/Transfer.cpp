#include "params/Transfer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

namespace lum {
namespace {

using Clock = std::chrono::steady_clock;
using PieceBytes = std::array<std::uint8_t, kMaxPieceSize>;

// Good copies kept of one piece while waiting for two to agree.
constexpr std::size_t kKeptCopies = 8;

int ReplyChars(int count) { return 2 * count + 14; }

Clock::time_point Now(const TransferOptions& o) { return o.clock ? o.clock() : Clock::now(); }

bool StopAsked(const TransferOptions& o) { return o.stopRequested && o.stopRequested(); }

void Report(const TransferOptions& o, TransferStage stage, std::size_t step) {
    if (o.progress) o.progress(stage, TransferProgress[step]);
}

// Reads every block of `blocks` into `into` (at its address). `expected`, when given, holds
// the bytes just written at the same addresses. Returns the number of blocks read;
// `failure` says why it stopped early.
std::size_t ReadBlocksAgreed(IBlockLink& link, std::span<const ImageBlock> blocks, ConfigImage& into,
                       const ConfigImage* expected, TransferStage stage, const TransferOptions& options,
                       ReadStats& stats, TransferFailure& failure) {
    failure = TransferFailure::None;
    const auto since = Now(options);
    for (std::size_t step = 0; step < blocks.size(); ++step) {
        const ImageBlock& b = blocks[step];
        std::span<const std::uint8_t> want;
        if (expected) want = std::span<const std::uint8_t>(*expected).subspan(b.Address, b.Count);
        const bool ok = ReadRangeAgreed(link, b.Address, b.Count, std::span<std::uint8_t>(into).subspan(b.Address, b.Count),
                                        want, options, since, stats, failure);
        Report(options, stage, step);
        if (!ok) return step;
    }
    return blocks.size();
}

TransferOptions Options(const TransferProgressFn& progress, const StopRequestedFn& stopRequested) {
    TransferOptions o;
    o.progress = progress;
    o.stopRequested = stopRequested;
    return o;
}

}  // namespace

std::uint8_t ChoosePieceSize(const ReadStats& s) {
    if (s.Replies == 0) return kMaxPieceSize;
    const double bad = (s.Corrupted + 0.5) / (s.Replies + 1.0);
    const double chars = static_cast<double>(s.ReplyChars) / s.Replies;
    const double rate = -std::log1p(-bad) / chars;  // per character
    const double best = 1.0 / (2.0 * rate);
    return static_cast<std::uint8_t>(std::clamp(best, double{kMinPieceSize}, double{kMaxPieceSize}));
}

bool ReadRangeAgreed(IBlockLink& link, std::uint16_t address, std::uint8_t count, std::span<std::uint8_t> destination,
                     std::span<const std::uint8_t> expected, const TransferOptions& options,
                     Clock::time_point since, ReadStats& stats, TransferFailure& failure) {
    std::array<std::uint8_t, 256> got{};
    std::size_t offset = 0;
    while (offset < count) {
        const auto size = static_cast<std::uint8_t>(std::min<std::size_t>(ChoosePieceSize(stats), count - offset));
        const auto at = static_cast<std::uint16_t>(address + offset);
        std::deque<PieceBytes> copies;  // good copies of this piece, none equal to another
        int unanswered = 0;             // requests in a row without a reply
        int corrupted = 0;              // replies of this piece that came corrupted
        bool agreed = false;
        bool smaller = false;  // the replies seen call for pieces half as long or less
        while (!agreed && !smaller) {
            if (StopAsked(options)) {
                failure = TransferFailure::Stopped;
                return false;
            }
            if (stats.Transactions > 0 && Now(options) - since >= options.budget) {
                failure = copies.size() >= 2 ? TransferFailure::Disagreement
                          : corrupted > 0    ? TransferFailure::Corrupted
                                             : TransferFailure::NoReply;
                return false;
            }
            PieceBytes copy{};
            ++stats.Transactions;
            stats.PieceSize = size;
            const TxResult result = link.ReadBlock(at, size, std::span<std::uint8_t>(copy.data(), size));
            switch (result) {
                case TxResult::Done: break;
                case TxResult::CorruptReply:
                case TxResult::ShortReply:
                    ++stats.Replies, ++stats.Corrupted, ++corrupted;
                    stats.ReplyChars += ReplyChars(size);
                    unanswered = 0;
                    smaller = ChoosePieceSize(stats) * 2 <= size;
                    continue;
                case TxResult::NoReply:
                case TxResult::WrongCode:
                    ++stats.Unanswered;
                    if (++unanswered >= kMaxBlockReads) {
                        failure = corrupted > 0 ? TransferFailure::Corrupted : TransferFailure::NoReply;
                        return false;
                    }
                    continue;
                case TxResult::Cancelled: failure = TransferFailure::Stopped; return false;
                case TxResult::NoControllerFrame:
                case TxResult::DeviceLost:
                case TxResult::Refused: failure = TransferFailure::NoController; return false;
            }
            ++stats.Replies;
            stats.ReplyChars += ReplyChars(size);
            unanswered = 0;
            const auto first = copy.begin(), last = copy.begin() + size;
            const auto same = [&](const PieceBytes& other) { return std::equal(first, last, other.begin()); };
            agreed = (!expected.empty() && std::equal(first, last, expected.begin() + static_cast<std::ptrdiff_t>(offset))) ||
                     std::any_of(copies.begin(), copies.end(), same);
            if (agreed) {
                std::copy(first, last, got.begin() + static_cast<std::ptrdiff_t>(offset));
                break;
            }
            if (!copies.empty()) ++stats.Disagreed;
            copies.push_back(copy);
            if (copies.size() > kKeptCopies) copies.pop_front();
        }
        if (agreed) offset += size;
    }
    std::copy_n(got.begin(), count, destination.begin());
    failure = TransferFailure::None;
    return true;
}

bool ReadBlockAgreed(IBlockLink& link, std::uint16_t address, std::uint8_t count, std::span<std::uint8_t> destination,
                     TransferFailure& failure, int* reads) {
    ReadStats stats;
    const TransferOptions options;
    const bool ok = ReadRangeAgreed(link, address, count, destination, {}, options, Now(options), stats, failure);
    if (reads) *reads = stats.Transactions;
    return ok;
}

ReadResult ReadConfiguration(IBlockLink& link, ConfigImage& image, const TransferOptions& options) {
    ReadResult result;
    ConfigImage read = image;
    result.BlocksRead =
        ReadBlocksAgreed(link, ReadBlocks, read, nullptr, TransferStage::Read, options, result.Stats, result.Failure);
    result.Transactions = result.Stats.Transactions;
    result.Ok = result.BlocksRead == ReadBlocks.size();
    if (result.Ok) image = read;
    return result;
}

ReadResult ReadConfiguration(IBlockLink& link, ConfigImage& image, const TransferProgressFn& progress,
                             const StopRequestedFn& stopRequested) {
    return ReadConfiguration(link, image, Options(progress, stopRequested));
}

ReadResult ReadConfiguration(Transactions::Operation& op, ConfigImage& image, const TransferOptions& options) {
    OperationBlockLink link(op);
    return ReadConfiguration(link, image, options);
}

ReadResult ReadConfiguration(Transactions::Operation& op, ConfigImage& image, const TransferProgressFn& progress,
                             const StopRequestedFn& stopRequested) {
    return ReadConfiguration(op, image, Options(progress, stopRequested));
}

WriteResult WriteConfiguration(IBlockLink& link, const ConfigImage& image, const TransferOptions& options) {
    WriteResult result;
    result.ReadBack = image;
    for (std::size_t step = 0; step < WriteBlocks.size(); ++step) {
        if (step > 0 && StopAsked(options)) {
            result.Failure = TransferFailure::Stopped;
            return result;
        }
        const ImageBlock& b = WriteBlocks[step];
        const TxResult sent =
            link.SendWriteBlock(b.Address, b.Count, std::span<const std::uint8_t>(image).subspan(b.Address, b.Count));
        Report(options, TransferStage::Write, step);
        if (!Ok(sent)) {
            result.Failure = sent == TxResult::Cancelled            ? TransferFailure::Stopped
                             : sent == TxResult::NoControllerFrame || sent == TxResult::Refused ||
                                       sent == TxResult::DeviceLost
                                 ? TransferFailure::NoController
                                 : TransferFailure::NoReply;
            return result;
        }
        result.BlocksWritten = step + 1;
    }
    const std::size_t verified = ReadBlocksAgreed(link, WriteBlocks, result.ReadBack, &image, TransferStage::Verify, options,
                                            result.VerifyStats, result.VerifyFailure);
    result.Verified = verified == WriteBlocks.size();
    if (!result.Verified) return result;
    for (const ImageBlock& b : WriteBlocks) {
        for (std::size_t a = b.Address; a < std::size_t{b.Address} + b.Count; ++a) {
            if (result.ReadBack[a] != image[a]) result.Mismatches.push_back({a, image[a], result.ReadBack[a]});
        }
    }
    return result;
}

WriteResult WriteConfiguration(IBlockLink& link, const ConfigImage& image, const TransferProgressFn& progress,
                               const StopRequestedFn& stopRequested) {
    return WriteConfiguration(link, image, Options(progress, stopRequested));
}

WriteResult WriteConfiguration(Transactions::Operation& op, const ConfigImage& image, const TransferOptions& options) {
    OperationBlockLink link(op);
    return WriteConfiguration(link, image, options);
}

WriteResult WriteConfiguration(Transactions::Operation& op, const ConfigImage& image,
                               const TransferProgressFn& progress, const StopRequestedFn& stopRequested) {
    return WriteConfiguration(op, image, Options(progress, stopRequested));
}

}  // namespace lum
