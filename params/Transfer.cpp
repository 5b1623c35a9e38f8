#include "params/Transfer.h"

#include <algorithm>
#include <array>

namespace lum {
namespace {

using BlockBytes = std::array<std::uint8_t, 256>;

void Report(const TransferProgressFn& progress, TransferStage stage, std::size_t step) {
    if (progress) progress(stage, TransferProgress[step]);
}

bool Stop(const StopRequestedFn& stopRequested, std::size_t step) {
    return step > 0 && stopRequested && stopRequested();
}

// Reads every block of `blocks` into `into` (at its address) until two copies agree.
// Returns the number of blocks read; `failure` says why it stopped early.
std::size_t ReadBlocksAgreed(IBlockLink& link, std::span<const ImageBlock> blocks, ConfigImage& into,
                             TransferStage stage, const TransferProgressFn& progress,
                             const StopRequestedFn& stopRequested, TransferFailure& failure, int& transactions) {
    failure = TransferFailure::None;
    for (std::size_t step = 0; step < blocks.size(); ++step) {
        if (Stop(stopRequested, step)) {
            failure = TransferFailure::Stopped;
            return step;
        }
        const ImageBlock& b = blocks[step];
        int reads = 0;
        const bool ok = ReadBlockAgreed(link, b.Address, b.Count,
                                        std::span<std::uint8_t>(into).subspan(b.Address, b.Count), failure, &reads);
        transactions += reads;
        Report(progress, stage, step);
        if (!ok) return step;
    }
    return blocks.size();
}

}  // namespace

bool ReadBlockAgreed(IBlockLink& link, std::uint16_t address, std::uint8_t count,
                     std::span<std::uint8_t> destination, TransferFailure& failure, int* reads) {
    std::array<BlockBytes, kMaxBlockReads> copies{};
    int made = 0;
    int kept = 0;  // copies received whole
    bool lost = false;
    for (int n = 0; n < kMaxBlockReads; ++n) {
        std::span<std::uint8_t> copy(copies[static_cast<std::size_t>(kept)].data(), count);
        ++made;
        const TxResult result = link.ReadBlock(address, count, copy);
        if (!Ok(result)) {
            lost = true;
            if (result == TxResult::NoControllerFrame) break;
            continue;
        }
        for (int m = 0; m < kept; ++m) {
            if (std::equal(copy.begin(), copy.end(), copies[static_cast<std::size_t>(m)].begin())) {
                std::copy(copy.begin(), copy.end(), destination.begin());
                failure = TransferFailure::None;
                if (reads) *reads = made;
                return true;
            }
        }
        ++kept;
    }
    // Copies that came but never agreed point at a spoilt line; otherwise replies were missing.
    failure = kept >= 2 || !lost ? TransferFailure::Disagreement : TransferFailure::NoReply;
    if (reads) *reads = made;
    return false;
}

ReadResult ReadConfiguration(IBlockLink& link, ConfigImage& image, const TransferProgressFn& progress,
                             const StopRequestedFn& stopRequested) {
    ReadResult result;
    ConfigImage read = image;
    result.BlocksRead = ReadBlocksAgreed(link, ReadBlocks, read, TransferStage::Read, progress, stopRequested,
                                         result.Failure, result.Transactions);
    result.Ok = result.BlocksRead == ReadBlocks.size();
    if (result.Ok) image = read;
    return result;
}

ReadResult ReadConfiguration(Transactions::Operation& op, ConfigImage& image, const TransferProgressFn& progress,
                             const StopRequestedFn& stopRequested) {
    OperationBlockLink link(op);
    return ReadConfiguration(link, image, progress, stopRequested);
}

WriteResult WriteConfiguration(IBlockLink& link, const ConfigImage& image, const TransferProgressFn& progress,
                               const StopRequestedFn& stopRequested) {
    WriteResult result;
    result.ReadBack = image;
    for (std::size_t step = 0; step < WriteBlocks.size(); ++step) {
        if (Stop(stopRequested, step)) {
            result.Failure = TransferFailure::Stopped;
            return result;
        }
        const ImageBlock& b = WriteBlocks[step];
        const bool ok = Ok(link.SendWriteBlock(b.Address, b.Count,
                                               std::span<const std::uint8_t>(image).subspan(b.Address, b.Count)));
        Report(progress, TransferStage::Write, step);
        if (!ok) {
            result.Failure = TransferFailure::NoReply;
            return result;
        }
        result.BlocksWritten = step + 1;
    }
    // The read-back is not interrupted: a write without its check would leave the user
    // not knowing what the controller holds.
    int transactions = 0;
    const std::size_t verified = ReadBlocksAgreed(link, WriteBlocks, result.ReadBack, TransferStage::Verify,
                                                  progress, {}, result.VerifyFailure, transactions);
    result.Verified = verified == WriteBlocks.size();
    if (!result.Verified) return result;
    for (const ImageBlock& b : WriteBlocks) {
        for (std::size_t a = b.Address; a < std::size_t{b.Address} + b.Count; ++a) {
            if (result.ReadBack[a] != image[a]) result.Mismatches.push_back({a, image[a], result.ReadBack[a]});
        }
    }
    return result;
}

WriteResult WriteConfiguration(Transactions::Operation& op, const ConfigImage& image,
                               const TransferProgressFn& progress, const StopRequestedFn& stopRequested) {
    OperationBlockLink link(op);
    return WriteConfiguration(link, image, progress, stopRequested);
}

}  // namespace lum
