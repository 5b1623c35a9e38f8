#include "link/Transactions.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "common/ScopedFlag.h"
#include "link/FrameCodec.h"

namespace lum {
namespace {


void RequireRoom(std::size_t have, std::size_t need, const char* what) {
    if (have < need) {
        throw std::invalid_argument(std::string(what) + ": нужно " + std::to_string(need) +
                                    " байт, передано " + std::to_string(have));
    }
}

}  // namespace

// ---- Operation ------------------------------------------------------------

Transactions::Operation::Operation(Operation&& other) noexcept
    : owner_(std::exchange(other.owner_, nullptr)) {}

Transactions::Operation& Transactions::Operation::operator=(Operation&& other) noexcept {
    if (this != &other) {
        Release();
        owner_ = std::exchange(other.owner_, nullptr);
    }
    return *this;
}

Transactions::Operation::~Operation() {
    Release();
}

void Transactions::Operation::WatchCancel(const CancelToken* token) {
    if (owner_ != nullptr) owner_->cancel_ = token;
}

void Transactions::Operation::Release() {
    if (owner_ != nullptr) std::exchange(owner_, nullptr)->Release();
}

TxResult Transactions::Operation::SendCommand(std::uint8_t code, std::uint16_t address, std::uint8_t count,
                                          std::span<const std::uint8_t> data) {
    if (owner_ == nullptr) return TxResult::Refused;
    if (owner_->inTransaction_ || owner_->state_.Dispatching) return owner_->Refuse();
    return owner_->DoSendCommand(code, address, count, data);
}

TxResult Transactions::Operation::SendWriteBlock(std::uint16_t address, std::uint8_t count,
                                             std::span<const std::uint8_t> data) {
    if (owner_ == nullptr) return TxResult::Refused;
    if (owner_->inTransaction_ || owner_->state_.Dispatching) return owner_->Refuse();
    return owner_->DoSendWriteBlock(address, count, data);
}

TxResult Transactions::Operation::ReadBlock(std::uint16_t address, std::uint8_t count,
                                        std::span<std::uint8_t> destination) {
    if (owner_ == nullptr) return TxResult::Refused;
    if (owner_->inTransaction_ || owner_->state_.Dispatching) return owner_->Refuse();
    RequireRoom(destination.size(), count, "ReadBlock");
    return owner_->DoRead(BuildReadFrame(address, count), kReadCode, count, destination);
}

TxResult Transactions::Operation::ReadJournalRecord(std::uint8_t index, JournalSelector selector,
                                                std::span<std::uint8_t> destination) {
    if (owner_ == nullptr) return TxResult::Refused;
    if (owner_->inTransaction_ || owner_->state_.Dispatching) return owner_->Refuse();
    RequireRoom(destination.size(), kJournalRecordSize, "ReadJournalRecord");
    const std::uint8_t data[] = {static_cast<std::uint8_t>(selector), index};
    return owner_->DoRead(BuildFrame(kJournalCode, 0, 2, data), kJournalCode, kJournalRecordSize,
                          destination);
}

// ---- Transactions ------------------------------------------------------------

Transactions::Transactions(LinkState& state, IPortWriter& port, IEventPump& pump, EchoHook echo,
                           Clock clock)
    : state_(state),
      port_(port),
      pump_(pump),
      echo_(std::move(echo)),
      clock_(std::move(clock)) {}

Transactions::Operation Transactions::Begin() {
    if (held_ || state_.Dispatching) {
        Refuse();
        return Operation();
    }
    held_ = true;
    if (BusyChanged) BusyChanged(true);
    return Operation(this);
}

void Transactions::Release() {
    held_ = false;
    cancel_ = nullptr;
    if (BusyChanged) BusyChanged(false);
}

TxResult Transactions::Refuse() {
    ++state_.Counters.Refused;
    state_.TransferOk = false;
    return TxResult::Refused;
}

TxResult Transactions::SendCommand(std::uint8_t code, std::uint16_t address, std::uint8_t count,
                               std::span<const std::uint8_t> data) {
    Operation op = Begin();
    return op.SendCommand(code, address, count, data);
}

TxResult Transactions::SendWriteBlock(std::uint16_t address, std::uint8_t count,
                                  std::span<const std::uint8_t> data) {
    Operation op = Begin();
    return op.SendWriteBlock(address, count, data);
}

TxResult Transactions::ReadBlock(std::uint16_t address, std::uint8_t count, std::span<std::uint8_t> destination) {
    Operation op = Begin();
    return op.ReadBlock(address, count, destination);
}

TxResult Transactions::ReadJournalRecord(std::uint8_t index, JournalSelector selector,
                                     std::span<std::uint8_t> destination) {
    Operation op = Begin();
    return op.ReadJournalRecord(index, selector, destination);
}

bool Transactions::Wait(int limit) {
    const auto start = clock_();
    state_.WaitTicks = 0;
    cancelled_ = false;
    for (;;) {
        if (state_.ReplyArrived) return true;
        if (cancel_ != nullptr && cancel_->Requested()) {
            cancelled_ = true;
            return false;
        }
        const auto now = clock_();
        const auto elapsed = std::max(now - start, std::chrono::steady_clock::duration::zero());
        const auto ticks = elapsed / kTickPeriod;
        state_.WaitTicks = static_cast<std::uint8_t>(std::min<decltype(elapsed / kTickPeriod)>(ticks, 255));
        if (ticks >= limit) return false;
        const auto nextTick = start + (ticks + 1) * kTickPeriod;
        const auto untilTick = std::chrono::ceil<std::chrono::milliseconds>(nextTick - now);
        pump_.RunPending(std::max(untilTick, std::chrono::milliseconds(1)));
    }
}

bool Transactions::WaitBeforeSend(int limit) {
    state_.ReplyArrived = false;
    state_.WaitTicks = 0;
    if (Wait(limit)) return true;
    if (!cancelled_) ++state_.Counters.PreSendTimeouts;
    return false;
}

void Transactions::Send(const char* prefix, const std::string& frame) {
    if (echo_) echo_(prefix + frame);
    try {
        port_.WriteString(frame);
    } catch (...) {
        ++state_.Counters.PortErrors;
        throw;
    }
}

TxResult Transactions::DoSendCommand(std::uint8_t code, std::uint16_t address, std::uint8_t count,
                                 std::span<const std::uint8_t> data) {
    std::string frame = BuildFrame(code, address, count, data);  // bad arguments refused before any wait
    ScopedFlag busy(inTransaction_);
    if (!WaitBeforeSend(kCommandWaitTicks)) {
        if (cancelled_) return TxResult::Cancelled;
        if (NoController) NoController();
        return TxResult::NoControllerFrame;
    }
    if (BeforeCommandFrame) {
        BeforeCommandFrame();
        frame = BuildFrame(code, address, count, data);
    }
    Send("<< ", frame);
    return TxResult::Done;
}

TxResult Transactions::DoSendWriteBlock(std::uint16_t address, std::uint8_t count,
                                    std::span<const std::uint8_t> data) {
    const std::string frame = BuildWriteFrame(address, count, data);
    ScopedFlag busy(inTransaction_);
    state_.TransferOk = false;
    if (!WaitBeforeSend(kBlockWaitTicks)) return cancelled_ ? TxResult::Cancelled : TxResult::NoControllerFrame;
    Send("<< ", frame);
    state_.TransferOk = true;
    return TxResult::Done;
}

TxResult Transactions::DoRead(const std::string& frame, std::uint8_t expectedCode, std::size_t count,
                          std::span<std::uint8_t> destination) {
    ScopedFlag busy(inTransaction_);
    state_.TransferOk = false;
    if (!WaitBeforeSend(kBlockWaitTicks)) return cancelled_ ? TxResult::Cancelled : TxResult::NoControllerFrame;
    Send("<<", frame);

    state_.ReplyArrived = false;
    state_.WaitTicks = 0;
    if (!Wait(replyWaitTicks_)) {
        if (cancelled_) return TxResult::Cancelled;
        ++state_.Counters.ReplyTimeouts;
        return TxResult::NoReply;
    }
    const DecodedFrame& reply = state_.Reply;
    if (!reply.CheckOk) {
        ++state_.Counters.CorruptReply;
        return TxResult::CorruptReply;
    }
    if (reply.Bytes[1] != expectedCode) {
        ++state_.Counters.WrongCode;
        return TxResult::WrongCode;
    }
    if (reply.Length < DataOffset + count + 1) {
        ++state_.Counters.ShortReply;
        return TxResult::ShortReply;
    }
    std::copy_n(reply.Bytes.begin() + DataOffset, count, destination.begin());
    state_.TransferOk = true;
    return TxResult::Done;
}

}  // namespace lum
