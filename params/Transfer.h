#pragma once
// Moving the configuration between the controller and an image: the four block reads and
// the four block writes, each write followed by a read-back of what was written.
//
// Every configuration block is read until two copies agree (at most four reads): the
// check byte of a frame is an 8-bit XOR, and corrupted hex digits in the same nibble
// position cancel out in it, so a single reply is not enough evidence that the bytes are
// the controller's. A lost or spoilt reply uses up one of the four reads; a request that
// found the line silent (no controller frame to answer, nothing sent) ends the block at
// once. A block without two agreeing copies fails like a lost reply.
//
// The controller never acknowledges a write, so a write is reported good only when the
// written ranges, read back, match what was sent byte for byte.
//
// Threads: the caller's thread, the one that may run the link's transactions (the main
// thread for the window and the command-line tool). The callbacks run on it too.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/Transactions.h"
#include "params/Packing.h"

namespace lum {

// The two block transactions a transfer uses, with the link's results. ReadBlock leaves
// the destination untouched unless it returns Done. NoControllerFrame means nothing was
// sent (the controller is off or the cable is out): repeating is pointless.
class IBlockLink {
  public:
    virtual ~IBlockLink() = default;
    virtual TxResult ReadBlock(std::uint16_t address, std::uint8_t count, std::span<std::uint8_t> destination) = 0;
    virtual TxResult SendWriteBlock(std::uint16_t address, std::uint8_t count,
                                    std::span<const std::uint8_t> data) = 0;
};

// The link's transactions as an IBlockLink, through an Operation token that holds the
// reply slot for the whole transfer.
class OperationBlockLink : public IBlockLink {
  public:
    explicit OperationBlockLink(Transactions::Operation& op) : op_(op) {}
    TxResult ReadBlock(std::uint16_t address, std::uint8_t count, std::span<std::uint8_t> destination) override {
        return op_.ReadBlock(address, count, destination);
    }
    TxResult SendWriteBlock(std::uint16_t address, std::uint8_t count, std::span<const std::uint8_t> data) override {
        return op_.SendWriteBlock(address, count, data);
    }

  private:
    Transactions::Operation& op_;
};

// Reads of one block until two copies agree.
inline constexpr int kMaxBlockReads = 4;

enum class TransferStage { Read, Write, Verify };
// After each block: the stage and the progress position of that step (25, 50, 75, 100).
using TransferProgressFn = std::function<void(TransferStage stage, int position)>;
// Asked before each block after the first; true stops the transfer cleanly there.
using StopRequestedFn = std::function<bool()>;

enum class TransferFailure {
    None,
    NoReply,       // a block transaction failed (no controller frame, no reply, another code)
                   // and, for a read, no two agreeing copies came within the four reads
    Disagreement,  // a block's copies never agreed within kMaxBlockReads reads
    Stopped,       // the stop request was granted between blocks
};

// One block read until two copies agree: true and the bytes in `destination` (count
// bytes) on success; on failure the destination is untouched and `failure` says why.
// `reads` (if given) receives the number of block transactions made.
bool ReadBlockAgreed(IBlockLink& link, std::uint16_t address, std::uint8_t count,
                     std::span<std::uint8_t> destination, TransferFailure& failure, int* reads = nullptr);

struct ReadResult {
    bool Ok = false;
    TransferFailure Failure = TransferFailure::None;
    std::size_t BlocksRead = 0;  // blocks read before the failure or stop (4 on success)
    int Transactions = 0;        // block read transactions made, repeats included
};

// Reads the four read blocks in order. All or nothing: `image` changes only when all four
// agreed; a failure at any block or a stop leaves it exactly as it was.
ReadResult ReadConfiguration(IBlockLink& link, ConfigImage& image, const TransferProgressFn& progress = {},
                             const StopRequestedFn& stopRequested = {});
ReadResult ReadConfiguration(Transactions::Operation& op, ConfigImage& image,
                             const TransferProgressFn& progress = {}, const StopRequestedFn& stopRequested = {});

// A byte that read back otherwise than it was sent.
struct ByteMismatch {
    std::size_t Address;
    std::uint8_t Sent;
    std::uint8_t Read;
};

struct WriteResult {
    TransferFailure Failure = TransferFailure::None;  // of the writing; None when all four went out
    std::size_t BlocksWritten = 0;  // blocks sent, in order: WriteBlocks[0 .. BlocksWritten-1]
    bool AllWritten() const { return BlocksWritten == WriteBlocks.size(); }

    // The read-back, made only when all four blocks were written.
    bool Verified = false;  // every written range was read back (two agreeing copies each)
    TransferFailure VerifyFailure = TransferFailure::None;
    ConfigImage ReadBack{};  // the bytes read back (outside the written ranges: as sent)
    std::vector<ByteMismatch> Mismatches;  // within the written ranges, by address

    // The write is good: every block sent, read back, and equal to what was sent.
    bool Ok() const { return AllWritten() && Verified && Mismatches.empty(); }
};

// Sends the four write blocks of `image` in order, then reads the written ranges back and
// compares them with what was sent. The caller packs the image first.
WriteResult WriteConfiguration(IBlockLink& link, const ConfigImage& image, const TransferProgressFn& progress = {},
                               const StopRequestedFn& stopRequested = {});
WriteResult WriteConfiguration(Transactions::Operation& op, const ConfigImage& image,
                               const TransferProgressFn& progress = {}, const StopRequestedFn& stopRequested = {});

}  // namespace lum
