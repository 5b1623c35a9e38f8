#pragma once
// Moving the configuration between the controller and an image: the four block reads and
// the four block writes, each write followed by a read-back of what was written.
//
// Every configuration block is read until two copies agree: the check byte of a frame is
// an 8-bit XOR, and corrupted hex digits in the same nibble position cancel out in it, so
// a single reply is not enough evidence that the bytes are the controller's. A corrupted
// block is never taken.
//
// Noise: while replies arrive corrupted (or good copies disagree), the transfer keeps
// asking until its time budget is spent, and asks for smaller pieces of the block the more
// replies it has seen corrupted (a shorter reply crosses the line intact far more often).
// Replies that do not come at all end a block after kMaxBlockReads requests in a row; a
// request that found the line silent (no controller frame to answer, nothing sent) ends it
// at once, and so does a device lost (DeviceLost) while the transfer runs.
//
// The controller never acknowledges a write, so a write is reported good only when the
// written ranges, read back, match what was sent byte for byte. In that read-back a copy
// equal to the bytes just written is the second copy: a clean write costs four writes
// and four reads.
//
// Threads: the caller's thread, the one that may run the link's transactions (the main
// thread for the window and the command-line tool). The callbacks run on it too.
#include <chrono>
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

// Requests in a row that bring no reply at all (the controller sends frames but does not
// answer, or another frame comes instead) before a block is given up.
inline constexpr int kMaxBlockReads = 4;
// The largest and smallest count a read asks for.
inline constexpr std::uint8_t kMaxPieceSize = 64;
inline constexpr std::uint8_t kMinPieceSize = 4;
// How long a transfer keeps asking while replies arrive corrupted or disagree.
inline constexpr std::chrono::milliseconds kNoisyReadBudget{55000};

enum class TransferStage { Read, Write, Verify };
// After each block: the stage and the progress position of that step (25, 50, 75, 100).
using TransferProgressFn = std::function<void(TransferStage stage, int position)>;
// Asked before each read request and before each block written; true stops the transfer
// cleanly there. A link result of Cancelled stops it the same way.
using StopRequestedFn = std::function<bool()>;
using TransferClock = std::function<std::chrono::steady_clock::time_point()>;

struct TransferOptions {
    TransferProgressFn progress;
    StopRequestedFn stopRequested;
    TransferClock clock;  // empty: the steady clock
    std::chrono::milliseconds budget = kNoisyReadBudget;
};

enum class TransferFailure {
    None,
    NoReply,       // requests went out, but kMaxBlockReads in a row brought no reply
    Disagreement,  // replies passed their check, but no two copies of a piece agreed in time
    Stopped,       // the stop request was granted (or the link's wait was cancelled)
    NoController,  // no controller frame came to answer (nothing sent), the link was held, or the device was lost
    Corrupted,     // replies kept arriving corrupted until the budget ran out
};

// What the read requests of a transfer met, for the choice of piece size and the message.
struct ReadStats {
    int Transactions = 0;  // read requests made
    int Replies = 0;       // replies that came (whole or not)
    int Corrupted = 0;     // of them, failed their check or came short
    int ReplyChars = 0;    // characters of those replies on the line
    int Unanswered = 0;    // requests that brought no reply (none, or another frame)
    int Disagreed = 0;     // good copies that matched no earlier copy of their piece
    std::uint8_t PieceSize = kMaxPieceSize;  // the count the last request asked for
};

// The count to ask for next. A reply of n data bytes is 2n + 14 characters, and with a
// per-character corruption rate r it crosses intact with the chance (1 - r)^(2n + 14);
// the requests a byte costs are least at n = 1 / (2 * -ln(1 - r)). The rate is estimated
// from the replies seen so far (smoothed, so one bad reply does not halve the pieces).
// 64 on a clean line.
std::uint8_t ChoosePieceSize(const ReadStats& stats);

// One range read until every piece of it has two agreeing copies, or, when `expected` is
// given (the bytes just written there), one copy equal to it. Pieces are read in turn,
// each with the count ChoosePieceSize gives when it begins. True with the bytes in
// `destination` (count bytes); on failure the destination is untouched and `failure`
// says why. `stats` accumulates; the budget runs from `since`.
bool ReadRangeAgreed(IBlockLink& link, std::uint16_t address, std::uint8_t count,
                     std::span<std::uint8_t> destination, std::span<const std::uint8_t> expected,
                     const TransferOptions& options, std::chrono::steady_clock::time_point since,
                     ReadStats& stats, TransferFailure& failure);
// The same with default options and no expected bytes; `reads` (if given) receives the
// number of read requests made.
bool ReadBlockAgreed(IBlockLink& link, std::uint16_t address, std::uint8_t count,
                     std::span<std::uint8_t> destination, TransferFailure& failure, int* reads = nullptr);

struct ReadResult {
    bool Ok = false;
    TransferFailure Failure = TransferFailure::None;
    std::size_t BlocksRead = 0;  // blocks read before the failure or stop (4 on success)
    int Transactions = 0;        // block read transactions made, repeats included
    ReadStats Stats{};
};

// Reads the four read blocks in order. All or nothing: `image` changes only when all four
// agreed; a failure at any block or a stop leaves it exactly as it was.
ReadResult ReadConfiguration(IBlockLink& link, ConfigImage& image, const TransferOptions& options);
ReadResult ReadConfiguration(IBlockLink& link, ConfigImage& image, const TransferProgressFn& progress = {},
                             const StopRequestedFn& stopRequested = {});
ReadResult ReadConfiguration(Transactions::Operation& op, ConfigImage& image,
                             const TransferProgressFn& progress = {}, const StopRequestedFn& stopRequested = {});
ReadResult ReadConfiguration(Transactions::Operation& op, ConfigImage& image, const TransferOptions& options);

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
    bool Verified = false;  // every written range was read back (equal to what was sent, or
                            // two agreeing copies)
    TransferFailure VerifyFailure = TransferFailure::None;
    ReadStats VerifyStats{};
    ConfigImage ReadBack{};  // the bytes read back (outside the written ranges: as sent)
    std::vector<ByteMismatch> Mismatches;  // within the written ranges, by address

    // The write is good: every block sent, read back, and equal to what was sent.
    bool Ok() const { return AllWritten() && Verified && Mismatches.empty(); }
};

// Sends the four write blocks of `image` in order, then reads the written ranges back and
// compares them with what was sent. The caller packs the image first. A stop between two
// blocks leaves the later ones unsent; a stop during the read-back leaves it unverified.
WriteResult WriteConfiguration(IBlockLink& link, const ConfigImage& image, const TransferOptions& options);
WriteResult WriteConfiguration(Transactions::Operation& op, const ConfigImage& image, const TransferOptions& options);
WriteResult WriteConfiguration(IBlockLink& link, const ConfigImage& image, const TransferProgressFn& progress = {},
                               const StopRequestedFn& stopRequested = {});
WriteResult WriteConfiguration(Transactions::Operation& op, const ConfigImage& image,
                               const TransferProgressFn& progress = {}, const StopRequestedFn& stopRequested = {});

}  // namespace lum
