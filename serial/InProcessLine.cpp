#include "serial/InProcessLine.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace lum {

using serial_os::OpenFailure;
using serial_os::OsError;
using serial_os::SerialDevice;
using serial_os::Signal;

struct InProcessLine::State {
    std::string name;

    mutable std::mutex lock;
    std::condition_variable peerWake;  // the port wrote, or Interrupt
    bool interrupted = false;
    bool gone = false;      // the line object is destroyed
    bool portOpen = false;  // a port end exists
    std::string toPort;     // the port's input queue
    std::string toPeer;     // what the port wrote, not yet read by the peer
    std::size_t inQueueSize = 4096;
    std::uint32_t mask = 0;
    std::uint32_t errors = 0;
    std::uint32_t events = 0;  // line events not yet reported: kEvRxChar, kEvErr (input overrun)
    bool released = false;  // the mask changed under a pending wait
    TDcb dcb;
    // Set while the port's event thread has something to collect.
    Signal portWake{Signal::Mode::ManualReset};

    // Under lock: the port's wait has something to collect.
    bool Collectable() const {
        return gone || released || (events & mask) != 0;
    }
};

namespace {

const OsError kLineGone{0, "линия имитатора закрыта"};
const OsError kLineBusy{0, "линия уже открыта другим портом"};

std::mutex registryLock;
std::map<std::string, std::weak_ptr<InProcessLine::State>> registry;
unsigned nextNumber = 1;

// The port's end of a line.
class PortEnd final : public SerialDevice {
  public:
    explicit PortEnd(std::shared_ptr<InProcessLine::State> state) : state_(std::move(state)) {}
    ~PortEnd() override {
        std::lock_guard guard(state_->lock);
        state_->portOpen = false;
        state_->toPort.clear();
        state_->events = 0;
    }

    const std::string& Path() const override { return state_->name; }
    bool SetTimeouts(OsError&) override { return true; }
    bool SetupQueues(std::uint32_t inQueue, std::uint32_t, OsError&) override {
        std::lock_guard guard(state_->lock);
        state_->inQueueSize = inQueue;
        return true;
    }
    bool SetEventMask(std::uint32_t mask, OsError&) override {
        std::lock_guard guard(state_->lock);
        state_->mask = mask;
        if (waiting_) {
            state_->released = true;
            state_->portWake.Set();
        }
        return true;
    }
    bool SetState(const TDcb& dcb, OsError&) override {
        std::lock_guard guard(state_->lock);
        state_->dcb = dcb;
        return true;
    }
    bool GetState(TDcb& dcb, OsError&) override {
        std::lock_guard guard(state_->lock);
        dcb = state_->dcb;
        return true;
    }

    WaitStatus StartEventWait(std::uint32_t& events, OsError& error) override {
        std::lock_guard guard(state_->lock);
        waiting_ = true;
        return TakeEvent(events, error);
    }
    int WaitEventOrSignals(std::span<Signal* const> waitSignals, std::chrono::milliseconds timeout) override {
        std::vector<Signal*> all(waitSignals.begin(), waitSignals.end());
        all.push_back(&state_->portWake);
        return serial_os::WaitForSignals(all, timeout);
    }
    WaitStatus CollectEvent(std::uint32_t& events, OsError& error) override {
        std::lock_guard guard(state_->lock);
        return TakeEvent(events, error);
    }

    bool ClearError(std::uint32_t& errors, std::uint32_t& inQueue, OsError& error) override {
        std::lock_guard guard(state_->lock);
        if (state_->gone) return Lost(error);
        errors = std::exchange(state_->errors, 0);
        inQueue = static_cast<std::uint32_t>(state_->toPort.size());
        return true;
    }
    bool Read(void* buffer, std::size_t count, std::size_t& got, OsError& error) override {
        std::lock_guard guard(state_->lock);
        if (state_->gone) return Lost(error);
        got = std::min(count, state_->toPort.size());
        std::memcpy(buffer, state_->toPort.data(), got);
        state_->toPort.erase(0, got);
        return true;
    }
    WriteResult Write(const void* data, std::size_t count, std::span<Signal* const>) override {
        WriteResult result;
        {
            std::lock_guard guard(state_->lock);
            if (state_->gone) {
                result.ok = Lost(result.error);
                return result;
            }
            state_->toPeer.append(static_cast<const char*>(data), count);
        }
        state_->peerWake.notify_all();
        result.written = count;
        return result;
    }
    bool Purge(std::uint32_t flags, OsError&) override {
        std::lock_guard guard(state_->lock);
        if (flags & serial_os::kPurgeRxClear) {
            state_->toPort.clear();
            state_->events &= ~serial_os::kEvRxChar;
        }
        return true;  // written characters are on the line already
    }
    bool OutputQueued(std::uint32_t& count, OsError&) override {
        count = 0;
        return true;
    }
    bool Escape(std::uint32_t, OsError&) override { return true; }

  private:
    // Under the lock: the completion of the line-event wait, if there is one.
    WaitStatus TakeEvent(std::uint32_t& events, OsError& error) {
        State& s = *state_;
        if (s.gone) {
            Lost(error);
            return WaitStatus::Failed;
        }
        if (!s.Collectable()) {
            s.portWake.Reset();
            return WaitStatus::Pending;
        }
        events = 0;
        if (s.released) {
            s.released = false;  // completes with no events, as the mask changed under it
        } else {
            events = s.events & s.mask;
            s.events &= ~events;
        }
        waiting_ = false;
        s.portWake.Reset();
        return WaitStatus::Completed;
    }
    static bool Lost(OsError& error) {
        error = kLineGone;
        return false;
    }
    using State = InProcessLine::State;
    std::shared_ptr<State> state_;
    bool waiting_ = false;  // under the lock
};

}  // namespace

InProcessLine::InProcessLine(std::shared_ptr<State> state) : state_(std::move(state)) {}

std::shared_ptr<InProcessLine> InProcessLine::Create() {
    auto state = std::make_shared<State>();
    {
        std::lock_guard guard(registryLock);
        state->name = "demo:" + std::to_string(nextNumber++);
        registry[state->name] = state;
    }
    return std::shared_ptr<InProcessLine>(new InProcessLine(state));
}

InProcessLine::~InProcessLine() {
    {
        std::lock_guard guard(registryLock);
        registry.erase(state_->name);
    }
    std::lock_guard guard(state_->lock);
    state_->gone = true;
    state_->portWake.Set();  // a port still open sees its device fail
}

const std::string& InProcessLine::Name() const {
    return state_->name;
}

std::string InProcessLine::PeerRead(std::chrono::milliseconds maxWait) {
    std::unique_lock guard(state_->lock);
    state_->peerWake.wait_for(guard, maxWait, [&] { return !state_->toPeer.empty() || state_->interrupted; });
    state_->interrupted = false;
    return std::exchange(state_->toPeer, {});
}

void InProcessLine::PeerWrite(std::string_view bytes) {
    std::lock_guard guard(state_->lock);
    State& s = *state_;
    if (!s.portOpen || bytes.empty()) return;
    const std::size_t room = s.inQueueSize > s.toPort.size() ? s.inQueueSize - s.toPort.size() : 0;
    if (bytes.size() > room) {
        s.errors |= serial_os::kCeRxOver;
        s.events |= serial_os::kEvErr;
    }
    const std::size_t taken = std::min(room, bytes.size());
    if (taken > 0) {
        s.toPort.append(bytes.substr(0, taken));
        s.events |= serial_os::kEvRxChar;
    }
    if (s.Collectable()) s.portWake.Set();
}

void InProcessLine::Interrupt() {
    {
        std::lock_guard guard(state_->lock);
        state_->interrupted = true;
    }
    state_->peerWake.notify_all();
}

bool InProcessLine::PortOpen() const {
    std::lock_guard guard(state_->lock);
    return state_->portOpen;
}

std::unique_ptr<SerialDevice> OpenLineDevice(const std::string& path, OpenFailure& failure, OsError& error) {
    std::shared_ptr<InProcessLine::State> state;
    {
        std::lock_guard guard(registryLock);
        const auto it = registry.find(path);
        if (it != registry.end()) state = it->second.lock();
    }
    if (!state) return SerialDevice::Open(path, failure, error);
    std::lock_guard guard(state->lock);
    if (state->gone) {
        failure = OpenFailure::NotFound;
        error = kLineGone;
        return nullptr;
    }
    if (state->portOpen) {
        failure = OpenFailure::Other;
        error = kLineBusy;
        return nullptr;
    }
    state->portOpen = true;
    state->toPeer.clear();
    state->errors = 0;
    state->events = 0;
    state->released = false;
    return std::make_unique<PortEnd>(state);
}

}  // namespace lum
