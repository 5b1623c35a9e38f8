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
    lost_ = DeviceGone && DeviceGone();
    if (BusyChanged) BusyChanged(true);
    return Operation(this);
}

void Transactions::Release() {
    held_ = false;
    chainable_ = false;
    cancel_ = nullptr;
    if (BusyChanged) BusyChanged(false);
}

void Transactions::SetReplyWait(std::chrono::milliseconds wait) {
    replyWait_ = std::max(wait, std::chrono::milliseconds(1));
}

void Transactions::DeviceLost() {
    if (held_) lost_ = true;
}

void Transactions::NewConnection() {
    state_.ChainingOff = false;
    chainable_ = false;
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

bool Transactions::Wait(Duration limit, const std::function<bool()>& done) {
    const auto start = clock_();
    state_.WaitTicks = 0;
    cancelled_ = false;
    for (;;) {
        if (done()) return true;
        if (lost_ || (cancel_ != nullptr && cancel_->Requested())) {
            cancelled_ = true;
            return false;
        }
        const auto now = clock_();
        const auto elapsed = std::max(now - start, Duration::zero());
        const auto ticks = elapsed / kTickPeriod;
        state_.WaitTicks = static_cast<std::uint8_t>(std::min<decltype(elapsed / kTickPeriod)>(ticks, 255));
        if (elapsed >= limit) return false;
        const auto next = std::min<Duration>(start + (ticks + 1) * kTickPeriod - now, limit - elapsed);
        const auto untilNext = std::chrono::ceil<std::chrono::milliseconds>(next);
        pump_.RunPending(std::max(untilNext, std::chrono::milliseconds(1)));
    }
}

bool Transactions::JustArrived() const {
    if (!state_.LastFrameAt) return false;
    const auto since = clock_() - *state_.LastFrameAt;
    return since >= Duration::zero() && since < kStillListening;
}

bool Transactions::WaitBeforeSend(int limit) {
    state_.ReplyArrived = false;
    state_.WaitTicks = 0;
    cancelled_ = lost_;  // nothing goes out on a lost device
    if (lost_) return false;
    if (state_.LastFrameWasStatus && JustArrived() && state_.RxFrameCount != sentAfter_) return true;
    if (Wait(limit * kTickPeriod, [this] { return state_.ReplyArrived; })) return true;
    if (!cancelled_) ++state_.Counters.PreSendTimeouts;
    return false;
}

void Transactions::Send(const char* prefix, const std::string& frame) {
    sentAfter_ = state_.RxFrameCount;
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
    chainable_ = false;
    if (!WaitBeforeSend(kCommandWaitTicks)) {
        if (cancelled_ && !lost_) return TxResult::Cancelled;
        if (NoController) NoController();
        return lost_ ? TxResult::DeviceLost : TxResult::NoControllerFrame;
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
    chainable_ = false;
    state_.TransferOk = false;
    if (!WaitBeforeSend(kBlockWaitTicks)) return cancelled_ ? CutShort() : TxResult::NoControllerFrame;
    Send("<< ", frame);
    state_.TransferOk = true;
    return TxResult::Done;
}

TxResult Transactions::DoRead(const std::string& frame, std::uint8_t expectedCode, std::size_t count,
                          std::span<std::uint8_t> destination) {
    ScopedFlag busy(inTransaction_);
    state_.TransferOk = false;
    const bool chained = std::exchange(chainable_, false) && !lost_ && !state_.ChainingOff &&
                         state_.RxFrameCount == state_.ReplyNumber && JustArrived();
    if (!chained && !WaitBeforeSend(kBlockWaitTicks)) return cancelled_ ? CutShort() : TxResult::NoControllerFrame;
    const TxResult result = SendAndAwait(frame, expectedCode, count, chained);
    if (!Ok(result)) return result;
    std::copy_n(state_.Reply.Bytes.begin() + DataOffset, count, destination.begin());
    state_.TransferOk = true;
    return TxResult::Done;
}

TxResult Transactions::SendAndAwait(const std::string& frame, std::uint8_t expectedCode, std::size_t count,
                                    bool chained) {
    struct Expecting {
        LinkState& state;
        ~Expecting() { state.Expected.reset(); }
    } expecting{state_};
    const ReplyExpectation expected{expectedCode, DataOffset + count + 1};
    const auto send = [&] {
        state_.Expected = expected;
        state_.ReplyArrived = false;
        state_.PassedOver = 0;
        Send("<<", frame);
    };
    send();
    // A frame of another code before the reply does not end the wait, chained or not: on a line
    // with latency the controller's next frame may be on its way while the request is, and the
    // reply comes after it. Asking again at once would make the controller answer twice.
    Wait(replyWait_, [this] { return state_.ReplyArrived; });
    if (chained && !state_.ReplyArrived && !cancelled_) {
        // Not heard right after a reply: this controller listens only after its status
        // frames. Ask again after the next one.
        state_.ChainingOff = true;
        state_.Expected.reset();
        if (!WaitBeforeSend(kBlockWaitTicks)) return cancelled_ ? CutShort() : TxResult::NoControllerFrame;
        send();
        Wait(replyWait_, [this] { return state_.ReplyArrived; });
    }
    if (!state_.ReplyArrived) {
        if (cancelled_) return CutShort();
        if (state_.PassedOver > 0) {
            ++state_.Counters.WrongCode;
            return TxResult::WrongCode;
        }
        ++state_.Counters.ReplyTimeouts;
        return TxResult::NoReply;
    }
    chainable_ = true;  // the controller has just spoken: the next request may follow at once
    const DecodedFrame& reply = state_.Reply;
    if (!reply.CheckOk) {
        ++state_.Counters.CorruptReply;
        return TxResult::CorruptReply;
    }
    if (reply.Length < DataOffset + count + 1) {
        ++state_.Counters.ShortReply;
        return TxResult::ShortReply;
    }
    return TxResult::Done;
}

}  // namespace lum
