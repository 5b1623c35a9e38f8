// Configuration transfer against a scripted controller memory: block order, the
// two-agreeing-copies rule, all-or-nothing reads, the read-back after a write, the stop
// request between blocks.
#include "params/Transfer.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <numeric>
#include <vector>

namespace lum {
namespace {

// A controller memory behind IBlockLink. Faults are scripted per call: `readFault(n)`
// for the n-th read (0-based) returns: 0 = good, -1 = reply lost, -2 = line silent
// (nothing sent), -3 = reply failed its check, k > 0 = a reply that passed its check with
// one byte spoilt (a different spoiling for every k). Each request takes 300 ms of `now`.
class FakeController : public IBlockLink {
  public:
    ConfigImage memory{};
    std::vector<ImageBlock> reads, writes;
    std::chrono::steady_clock::time_point now{};
    std::function<int(int n, std::uint8_t count)> readFault = [](int, std::uint8_t) { return 0; };
    std::function<bool(int n)> writeLost = [](int) { return false; };
    std::optional<std::uint16_t> ignoreWritesAt;

    TxResult ReadBlock(std::uint16_t address, std::uint8_t count, std::span<std::uint8_t> destination) override {
        const int n = static_cast<int>(reads.size());
        reads.push_back({address, count});
        now += std::chrono::milliseconds(300);
        const int fault = readFault(n, count);
        if (fault == -3) return TxResult::CorruptReply;
        if (fault < 0) return fault == -2 ? TxResult::NoControllerFrame : TxResult::NoReply;
        std::copy_n(memory.begin() + address, count, destination.begin());
        if (fault > 0) destination[static_cast<std::size_t>((fault - 1) % count)] ^= static_cast<std::uint8_t>(0x11 + (fault - 1) / count);
        return TxResult::Done;
    }
    TxResult SendWriteBlock(std::uint16_t address, std::uint8_t count, std::span<const std::uint8_t> data) override {
        const int n = static_cast<int>(writes.size());
        writes.push_back({address, count});
        now += std::chrono::milliseconds(300);
        if (writeLost(n)) return TxResult::NoReply;
        EXPECT_EQ(data.size(), count);
        if (ignoreWritesAt != address) std::copy_n(data.begin(), count, memory.begin() + address);
        return TxResult::Done;
    }
};

// Options on the controller's clock.
TransferOptions On(FakeController& c, std::chrono::milliseconds budget = kNoisyReadBudget) {
    TransferOptions o;
    o.clock = [&c] { return c.now; };
    o.budget = budget;
    return o;
}

ConfigImage Ramp() {
    ConfigImage m;
    std::iota(m.begin(), m.end(), std::uint8_t{0});
    return m;
}

bool SameBlocks(const std::vector<ImageBlock>& got, std::vector<ImageBlock> want) {
    if (got.size() != want.size()) return false;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i].Address != want[i].Address || got[i].Count != want[i].Count) return false;
    return true;
}

TEST(ReadTransfer, FourBlocksInOrderEachReadTwiceProgressAfterEach) {
    FakeController c;
    c.memory = Ramp();
    ConfigImage image = ErasedImage();
    std::vector<int> positions;
    const ReadResult r = ReadConfiguration(c, image, [&](TransferStage s, int p) {
        EXPECT_EQ(s, TransferStage::Read);
        positions.push_back(p);
    });
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.BlocksRead, 4u);
    EXPECT_EQ(r.Transactions, 8);
    EXPECT_EQ(image, c.memory);
    EXPECT_TRUE(SameBlocks(c.reads, {{0, 64}, {0, 64}, {64, 64}, {64, 64}, {128, 64}, {128, 64}, {192, 64}, {192, 64}}));
    EXPECT_EQ(positions, (std::vector<int>{25, 50, 75, 100}));
}

TEST(ReadTransfer, DisagreeingCopiesAreReadAgainUntilTwoAgree) {
    FakeController c;
    c.memory = Ramp();
    // Block 0: the first copy is corrupt, the second and third agree.
    c.readFault = [](int n, std::uint8_t) { return n == 0 ? 7 : 0; };
    ConfigImage image = ErasedImage();
    const ReadResult r = ReadConfiguration(c, image);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(image, c.memory);
    EXPECT_EQ(r.Transactions, 9);
}

TEST(ReadTransfer, ACorruptCopyAgreeingWithAnEarlierGoodOneIsNotNeeded) {
    // Good, corrupt, good: the third copy agrees with the first.
    FakeController c;
    c.memory = Ramp();
    c.readFault = [](int n, std::uint8_t) { return n == 1 ? 3 : 0; };
    ConfigImage image = ErasedImage();
    EXPECT_TRUE(ReadConfiguration(c, image).Ok);
    EXPECT_EQ(image, c.memory);
}

TEST(ReadTransfer, CopiesThatNeverAgreeFailAfterFourReadsAndChangeNothing) {
    FakeController c;
    c.memory = Ramp();
    // Block 2 (reads 4 on): every copy passes its check, each spoilt otherwise; asked
    // until the budget (3 s, ten requests of 300 ms) is spent.
    c.readFault = [](int n, std::uint8_t) { return n >= 4 ? n : 0; };
    ConfigImage image = ErasedImage();
    const ConfigImage before = image;
    const ReadResult r = ReadConfiguration(c, image, On(c, std::chrono::seconds(3)));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Failure, TransferFailure::Disagreement);
    EXPECT_EQ(r.BlocksRead, 2u);
    EXPECT_EQ(r.Transactions, 10);
    EXPECT_EQ(r.Stats.Disagreed, 5);
    EXPECT_EQ(c.reads.size(), 10u);  // block 3 never asked for
    EXPECT_EQ(image, before);
}

TEST(ReadTransfer, ALostReplyUsesUpOneOfTheFourReads) {
    for (int lost = 0; lost < 8; ++lost) {
        FakeController c;
        c.memory = Ramp();
        c.readFault = [lost](int n, std::uint8_t) { return n == lost ? -1 : 0; };
        ConfigImage image = ErasedImage();
        const ReadResult r = ReadConfiguration(c, image);
        EXPECT_TRUE(r.Ok) << lost;
        EXPECT_EQ(r.Transactions, 9) << lost;
        EXPECT_EQ(image, c.memory) << lost;
    }
}

TEST(ReadTransfer, SilentLineAtAnyBlockStopsThereAndLeavesTheImageAsItWas) {
    for (int silent = 0; silent < 8; ++silent) {
        FakeController c;
        c.memory = Ramp();
        c.readFault = [silent](int n, std::uint8_t) { return n == silent ? -2 : 0; };
        ConfigImage image = ErasedImage();
        image[5] = 42;
        const ConfigImage before = image;
        std::vector<int> positions;
        const ReadResult r = ReadConfiguration(c, image, [&](TransferStage, int p) { positions.push_back(p); });
        EXPECT_FALSE(r.Ok) << silent;
        EXPECT_EQ(r.Failure, TransferFailure::NoController);
        EXPECT_EQ(r.BlocksRead, static_cast<std::size_t>(silent / 2)) << silent;
        EXPECT_EQ(c.reads.size(), static_cast<std::size_t>(silent + 1)) << silent;
        EXPECT_EQ(image, before) << silent;
        EXPECT_EQ(positions.size(), static_cast<std::size_t>(silent / 2 + 1)) << silent;
    }
}

TEST(ReadTransfer, FourRequestsInARowWithoutAReplyFailTheBlock) {
    // Block 1: one good copy, then four lost replies; three lost would still be waited out.
    for (const int lost : {3, 4}) {
        FakeController c;
        c.memory = Ramp();
        c.readFault = [lost](int n, std::uint8_t) { return n >= 3 && n < 3 + lost ? -1 : 0; };
        ConfigImage image = ErasedImage();
        const ReadResult r = ReadConfiguration(c, image);
        EXPECT_EQ(r.Ok, lost == 3) << lost;
        if (lost == 3) continue;
        EXPECT_EQ(r.Failure, TransferFailure::NoReply);
        EXPECT_EQ(r.BlocksRead, 1u);
        EXPECT_EQ(c.reads.size(), 7u);
    }
}

TEST(ReadTransfer, CorruptedRepliesAreAskedAgainInSmallerPiecesUntilTheBlockIsRead) {
    // Every reply longer than 20 data bytes arrives corrupted; shorter ones cross intact.
    FakeController c;
    c.memory = Ramp();
    c.readFault = [](int, std::uint8_t count) { return count > 20 ? -3 : 0; };
    ConfigImage image = ErasedImage();
    const ReadResult r = ReadConfiguration(c, image, On(c));
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(image, c.memory);
    EXPECT_EQ(c.reads.front().Count, 64);
    EXPECT_LE(c.reads.back().Count, 20);
    EXPECT_GE(c.reads.back().Count, kMinPieceSize);
    EXPECT_GT(r.Stats.Corrupted, 0);
}

TEST(ReadTransfer, RepliesCorruptedUntilTheBudgetIsSpentFailWithTheirCounts) {
    FakeController c;
    c.memory = Ramp();
    c.readFault = [](int n, std::uint8_t) { return n < 2 ? 0 : n % 5 == 0 ? -1 : -3; };
    ConfigImage image = ErasedImage();
    const ReadResult r = ReadConfiguration(c, image, On(c, std::chrono::seconds(30)));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Failure, TransferFailure::Corrupted);
    EXPECT_EQ(r.BlocksRead, 1u);
    EXPECT_EQ(r.Stats.Transactions, 100);  // 30 s of 300 ms requests
    EXPECT_EQ(r.Stats.Unanswered, 19);  // requests 5, 10, ... 95
    EXPECT_EQ(r.Stats.Replies, 81);
    EXPECT_EQ(r.Stats.Corrupted, 79);
    EXPECT_EQ(image, ErasedImage());
}

TEST(ReadTransfer, PieceSizeFollowsTheBadCheckRate) {
    struct Case {
        int replies, corrupted, chars;
        int low, high;
    };
    const Case cases[] = {
        {0, 0, 0, 64, 64},         // nothing seen yet
        {8, 0, 8 * 142, 64, 64},   // a clean line
        {1, 1, 142, 50, 52},       // one bad reply hardly moves it
        {100, 76, 100 * 142, 48, 51},  // about 1 % of characters spoilt: 1 / (2 * 0.01)
        {40, 40, 40 * 142, 14, 17},  // no 64-byte reply gets through: quarter pieces
        {40, 40, 40 * 22, 4, 4},     // not even 4-byte ones
    };
    for (const Case& c : cases) {
        ReadStats s;
        s.Replies = c.replies, s.Corrupted = c.corrupted, s.ReplyChars = c.chars;
        EXPECT_GE(ChoosePieceSize(s), c.low) << c.replies << "/" << c.corrupted;
        EXPECT_LE(ChoosePieceSize(s), c.high) << c.replies << "/" << c.corrupted;
    }
}

TEST(ReadTransfer, StopRequestEndsBetweenBlocksWithTheImageUnchanged) {
    FakeController c;
    c.memory = Ramp();
    ConfigImage image = ErasedImage();
    int asked = 0;
    const ReadResult r = ReadConfiguration(c, image, {}, [&] { return ++asked == 3; });
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Failure, TransferFailure::Stopped);
    EXPECT_EQ(r.BlocksRead, 1u);
    EXPECT_EQ(c.reads.size(), 2u);
    EXPECT_EQ(image, ErasedImage());
}

TEST(WriteTransfer, FourBlocksInOrderThenReadBackMatches) {
    FakeController c;
    c.memory = ErasedImage();
    const ConfigImage image = Ramp();
    std::vector<std::pair<TransferStage, int>> steps;
    const WriteResult r = WriteConfiguration(c, image, [&](TransferStage s, int p) { steps.emplace_back(s, p); });
    EXPECT_TRUE(r.Ok());
    EXPECT_TRUE(r.AllWritten());
    EXPECT_TRUE(r.Verified);
    EXPECT_TRUE(r.Mismatches.empty());
    EXPECT_TRUE(SameBlocks(c.writes, {{4, 60}, {64, 64}, {128, 52}, {192, 64}}));
    // A copy equal to what was just written is the second copy: one read per block.
    EXPECT_TRUE(SameBlocks(c.reads, {{4, 60}, {64, 64}, {128, 52}, {192, 64}}));
    // Counters, serial number and motor hours are neither written nor compared.
    for (std::size_t a : {0u, 3u, 180u, 191u}) EXPECT_EQ(c.memory[a], 255) << a;
    ASSERT_EQ(steps.size(), 8u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(steps[i], std::make_pair(TransferStage::Write, TransferProgress[i]));
        EXPECT_EQ(steps[i + 4], std::make_pair(TransferStage::Verify, TransferProgress[i]));
    }
}

TEST(WriteTransfer, IgnoredBlockShowsAsMismatchesOfThatBlockOnly) {
    FakeController c;
    c.memory = ErasedImage();
    c.ignoreWritesAt = 64;
    ConfigImage image = ErasedImage();
    image[10] = 1;   // block 1
    image[70] = 5;   // block 2, ignored
    image[71] = 6;
    image[200] = 7;  // block 4
    const WriteResult r = WriteConfiguration(c, image);
    EXPECT_TRUE(r.AllWritten());
    EXPECT_TRUE(r.Verified);
    EXPECT_FALSE(r.Ok());
    ASSERT_EQ(r.Mismatches.size(), 2u);
    EXPECT_EQ(r.Mismatches[0].Address, 70u);
    EXPECT_EQ(r.Mismatches[0].Sent, 5);
    EXPECT_EQ(r.Mismatches[0].Read, 255);
    EXPECT_EQ(r.Mismatches[1].Address, 71u);
    EXPECT_EQ(r.ReadBack[70], 255);
    EXPECT_EQ(r.ReadBack[200], 7);
    EXPECT_EQ(c.reads.size(), 5u);  // the differing block needs two agreeing copies
}

TEST(WriteTransfer, LostWriteStopsThereAndNothingIsVerified) {
    FakeController c;
    c.memory = ErasedImage();
    c.writeLost = [](int n) { return n == 2; };
    const WriteResult r = WriteConfiguration(c, Ramp());
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Failure, TransferFailure::NoReply);
    EXPECT_EQ(r.BlocksWritten, 2u);
    EXPECT_EQ(c.writes.size(), 3u);
    EXPECT_TRUE(c.reads.empty());
    EXPECT_FALSE(r.Verified);
}

TEST(WriteTransfer, ReadBackThatFailsIsNotASuccess) {
    FakeController c;
    c.memory = ErasedImage();
    c.readFault = [](int n, std::uint8_t) { return n >= 2 ? -1 : 0; };  // the third block's read-back never comes
    const WriteResult r = WriteConfiguration(c, Ramp());
    EXPECT_TRUE(r.AllWritten());
    EXPECT_FALSE(r.Verified);
    EXPECT_EQ(r.VerifyFailure, TransferFailure::NoReply);
    EXPECT_FALSE(r.Ok());
}

TEST(WriteTransfer, ReadBackTakesOnlyAgreeingCopies) {
    // A corrupt first copy of every read-back block must not be reported as a mismatch.
    FakeController c;
    c.memory = ErasedImage();
    c.readFault = [](int n, std::uint8_t) { return n % 3 == 0 ? 2 : 0; };
    const WriteResult r = WriteConfiguration(c, Ramp());
    EXPECT_TRUE(r.Ok());
}

TEST(WriteTransfer, StopRequestFinishesTheBlockInFlightAndSaysWhatWasWritten) {
    FakeController c;
    c.memory = ErasedImage();
    int asked = 0;
    const WriteResult r = WriteConfiguration(c, Ramp(), {}, [&] { return ++asked == 3; });
    EXPECT_EQ(r.Failure, TransferFailure::Stopped);
    EXPECT_EQ(r.BlocksWritten, 3u);
    EXPECT_EQ(c.writes.size(), 3u);
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(c.memory[130], 130);
    EXPECT_EQ(c.memory[200], 255);
}

}  // namespace
}  // namespace lum
