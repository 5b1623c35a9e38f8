#include "serial/NetworkDevice.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "serial/TelnetSession.h"

namespace lum {

using serial_os::OpenFailure;
using serial_os::OsError;
using serial_os::SerialDevice;
using serial_os::Signal;
using serial_os::Socket;

namespace {

constexpr std::string_view kSchemes[] = {"tcp://", "rfc2217://"};
const OsError kClosedByServer{0, "соединение закрыто другой стороной"};
const OsError kServerStalled{0, "сервер не принимает данные"};
constexpr std::chrono::milliseconds kControlSendBound{2000};
constexpr std::size_t kReceiveChunk = 4096;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

std::string BigEndian32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

class NetworkDevice final : public SerialDevice {
  public:
    NetworkDevice(std::string name, bool rfc2217, std::unique_ptr<Socket> socket)
        : name_(std::move(name)), rfc2217_(rfc2217), socket_(std::move(socket)) {}

    // Main thread, before the worker threads: the telnet opening and the wait for its answer; false
    // (with the reason) when the connection ended meanwhile.
    bool Negotiate(OsError& failure) {
        const auto start = std::chrono::steady_clock::now();
        const auto deadline = start + kNegotiationTimeout;
        OsError error;
        SendControl(telnet_.Start(), error);
        for (;;) {
            bool done = false;
            {
                std::lock_guard guard(m_);
                PumpLocked();
                done = failed_ || telnet_.ComPortAnswered();
            }
            FlushControl();
            if (done) break;
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) break;
            socket_->Wait({}, true, false, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        }
        FlushControl();
        std::lock_guard guard(m_);
        if (telnet_.ComPortAnswered())
            roundTrip_ = std::max(roundTrip_, std::chrono::ceil<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - start));
        if (failed_) failure = failError_;
        return !failed_;
    }
    void SetConnectTime(std::chrono::milliseconds t) { roundTrip_ = t; }

    const std::string& Path() const override { return name_; }
    std::optional<std::chrono::milliseconds> RoundTrip() const override {
        std::lock_guard guard(m_);
        return roundTrip_;
    }
    bool SetTimeouts(OsError&) override { return true; }
    bool SetupQueues(std::uint32_t inQueue, std::uint32_t, OsError&) override {
        std::lock_guard guard(m_);
        inQueue_ = inQueue;
        return true;
    }
    bool SetEventMask(std::uint32_t mask, OsError&) override {
        std::lock_guard guard(m_);
        mask_ = mask;
        if (waiting_) {
            released_ = true;
            wake_.Set();
        }
        return true;
    }
    bool SetState(const TDcb& dcb, OsError& error) override {
        {
            std::lock_guard guard(m_);
            dcb_ = dcb;
        }
        if (!rfc2217_) return true;
        using namespace telnet;
        static constexpr std::uint8_t kStopSize[] = {1, 3, 2};  // one, one and a half, two
        std::uint8_t flow = kControlNoFlow;
        if (dcb.Flags & (kDcbOutX | kDcbInX)) flow = kControlXonXoff;
        if (dcb.Flags & (kDcbOutxCtsFlow | kDcbRtsHandshake)) flow = kControlHardware;
        std::string out = TelnetSession::ComPortCommand(kSetBaudRate, BigEndian32(dcb.BaudRate)) +
                          TelnetSession::ComPortCommand(kSetDataSize, std::string(1, static_cast<char>(dcb.ByteSize))) +
                          TelnetSession::ComPortCommand(kSetParity, std::string(1, static_cast<char>(dcb.Parity + 1))) +
                          TelnetSession::ComPortCommand(kSetStopSize,
                                                        std::string(1, static_cast<char>(kStopSize[dcb.StopBits % 3]))) +
                          TelnetSession::ComPortCommand(kSetControl, std::string(1, static_cast<char>(flow))) +
                          ControlLine((dcb.Flags & kDcbDtrEnable) ? serial_os::kSetDtr : serial_os::kClrDtr);
        if (flow != kControlHardware)
            out += ControlLine((dcb.Flags & kDcbRtsEnable) ? serial_os::kSetRts : serial_os::kClrRts);
        return SendControl(out, error);
    }
    bool GetState(TDcb& dcb, OsError&) override {
        std::lock_guard guard(m_);
        dcb = dcb_;
        return true;
    }

    WaitStatus StartEventWait(std::uint32_t& events, OsError& error) override {
        WaitStatus status;
        {
            std::lock_guard guard(m_);
            waiting_ = true;
            PumpLocked();
            status = TakeEventLocked(events, error);
        }
        FlushControl();
        return status;
    }
    int WaitEventOrSignals(std::span<Signal* const> waitSignals, std::chrono::milliseconds timeout) override {
        const int eventIndex = static_cast<int>(waitSignals.size());
        bool forRead = false;
        {
            std::lock_guard guard(m_);
            if (CollectableLocked()) return eventIndex;
            forRead = input_.size() < inQueue_;
        }
        std::vector<Signal*> all(waitSignals.begin(), waitSignals.end());
        all.push_back(&wake_);
        const int which = socket_->Wait(all, forRead, false, timeout);
        return which >= eventIndex ? eventIndex : which;
    }
    WaitStatus CollectEvent(std::uint32_t& events, OsError& error) override {
        WaitStatus status;
        {
            std::lock_guard guard(m_);
            PumpLocked();
            status = TakeEventLocked(events, error);
        }
        FlushControl();
        return status;
    }

    bool ClearError(std::uint32_t& errors, std::uint32_t& inQueue, OsError& error) override {
        {
            std::lock_guard guard(m_);
            PumpLocked();
            if (failed_ && input_.empty()) {
                error = failError_;
                return false;
            }
            errors = 0;
            inQueue = static_cast<std::uint32_t>(input_.size());
        }
        FlushControl();
        return true;
    }
    bool Read(void* buffer, std::size_t count, std::size_t& got, OsError& error) override {
        {
            std::lock_guard guard(m_);
            PumpLocked();
            if (failed_ && input_.empty()) {
                got = 0;
                error = failError_;
                return false;
            }
            const bool wasFull = input_.size() >= inQueue_;
            got = std::min(count, input_.size());
            std::memcpy(buffer, input_.data(), got);
            input_.erase(0, got);
            // A full queue is not watched for more input: the wait watches again now.
            if (wasFull && got > 0) wake_.Set();
        }
        FlushControl();
        return true;
    }
    WriteResult Write(const void* data, std::size_t count, std::span<Signal* const> interrupt) override {
        WriteResult result;
        std::lock_guard send(sendLock_);
        std::string out;
        {
            std::lock_guard guard(m_);
            if (failed_) {
                result.ok = false;
                result.error = failError_;
                return result;
            }
            out = std::exchange(control_, {});
            const std::string_view bytes(static_cast<const char*>(data), count);
            out += rfc2217_ ? telnet_.Encode(bytes) : std::string(bytes);
        }
        result.signal = SendLocked(out, interrupt, std::nullopt, result.error);
        if (result.signal == serial_os::kWaitTimeout) {
            result.written = count;
        } else if (result.signal < 0) {
            result.ok = false;
            result.signal = serial_os::kWaitTimeout;
        }
        return result;
    }
    bool Purge(std::uint32_t flags, OsError&) override {
        std::lock_guard guard(m_);
        if (flags & serial_os::kPurgeRxClear) {
            input_.clear();
            events_ &= ~serial_os::kEvRxChar;
        }
        return true;  // what was written is in the connection already
    }
    bool OutputQueued(std::uint32_t& count, OsError&) override {
        count = 0;
        return true;
    }
    bool Escape(std::uint32_t function, OsError& error) override {
        if (!rfc2217_) return true;
        return SendControl(ControlLine(function), error);
    }

  private:
    static constexpr int kSendFailed = -2;

    static std::string ControlLine(std::uint32_t function) {
        using namespace telnet;
        std::uint8_t value = kControlDtrOn;
        switch (function) {
            case serial_os::kSetDtr: value = kControlDtrOn; break;
            case serial_os::kClrDtr: value = kControlDtrOff; break;
            case serial_os::kSetRts: value = kControlRtsOn; break;
            default: value = kControlRtsOff; break;
        }
        return TelnetSession::ComPortCommand(kSetControl, std::string(1, static_cast<char>(value)));
    }

    // Under m_: takes in what the connection holds, as far as the input queue has room.
    void PumpLocked() {
        char chunk[kReceiveChunk];
        while (!failed_ && input_.size() < inQueue_) {
            std::size_t got = 0;
            OsError error;
            const std::size_t room = std::min(sizeof chunk, inQueue_ - input_.size());
            switch (socket_->Receive(chunk, room, got, error)) {
                case Socket::Io::Done: {
                    const std::size_t before = input_.size();
                    if (rfc2217_) telnet_.Receive(std::string_view(chunk, got), input_, control_);
                    else input_.append(chunk, got);
                    if (input_.size() > before) {
                        events_ |= serial_os::kEvRxChar;
                        if (CollectableLocked()) wake_.Set();
                    }
                    continue;
                }
                case Socket::Io::WouldBlock:
                    return;
                case Socket::Io::Closed:
                    Fail(kClosedByServer);
                    return;
                case Socket::Io::Failed:
                    Fail(error);
                    return;
            }
        }
    }
    void Fail(const OsError& error) {
        if (failed_) return;
        failed_ = true;
        failError_ = error;
        wake_.Set();
    }
    bool CollectableLocked() const { return released_ || failed_ || (events_ & mask_) != 0; }
    WaitStatus TakeEventLocked(std::uint32_t& events, OsError& error) {
        if (released_) {
            released_ = false;
            events = 0;
        } else if ((events_ & mask_) != 0) {
            events = events_ & mask_;
            events_ &= ~events;
        } else if (failed_ && input_.empty()) {
            error = failError_;
            waiting_ = false;
            return WaitStatus::Failed;
        } else {
            wake_.Reset();
            return WaitStatus::Pending;
        }
        waiting_ = false;
        wake_.Reset();
        return WaitStatus::Completed;
    }

    // Under sendLock_: sends all of `bytes`. kWaitTimeout when sent, the index of a signal of
    // `interrupt` that ended it, kSendFailed (with `error`; the device has failed).
    int SendLocked(std::string_view bytes, std::span<Signal* const> interrupt,
                   std::optional<std::chrono::milliseconds> bound, OsError& error) {
        const auto deadline = std::chrono::steady_clock::now() + bound.value_or(std::chrono::milliseconds(0));
        std::size_t done = 0;
        while (done < bytes.size()) {
            std::size_t sent = 0;
            const auto io = socket_->Send(bytes.data() + done, bytes.size() - done, sent, error);
            if (io == Socket::Io::Done) {
                done += sent;
                continue;
            }
            if (io != Socket::Io::WouldBlock) {
                std::lock_guard guard(m_);
                Fail(error);
                return kSendFailed;
            }
            std::optional<std::chrono::milliseconds> left;
            if (bound) {
                const auto now = std::chrono::steady_clock::now();
                if (now >= deadline) {
                    error = kServerStalled;
                    std::lock_guard guard(m_);
                    Fail(error);
                    return kSendFailed;
                }
                left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
            }
            const int which = socket_->Wait(interrupt, false, true, left);
            if (which >= 0 && which < static_cast<int>(interrupt.size())) return which;
        }
        return serial_os::kWaitTimeout;
    }
    // Sends telnet commands at once (bounded: a server that takes nothing fails the device).
    bool SendControl(const std::string& bytes, OsError& error) {
        std::lock_guard send(sendLock_);
        std::string out;
        {
            std::lock_guard guard(m_);
            out = std::exchange(control_, {}) + bytes;
        }
        return SendLocked(out, {}, kControlSendBound, error) == serial_os::kWaitTimeout;
    }
    // Answers the receive side produced go out now, unless the write thread is sending: it takes
    // them with its next block (or this is tried again on the next look at the connection).
    void FlushControl() {
        std::unique_lock send(sendLock_, std::try_to_lock);
        if (!send.owns_lock()) return;
        std::string out;
        {
            std::lock_guard guard(m_);
            if (control_.empty()) return;
            out = std::exchange(control_, {});
        }
        OsError error;
        SendLocked(out, {}, kControlSendBound, error);
    }

    const std::string name_;
    const bool rfc2217_;
    std::unique_ptr<Socket> socket_;
    Signal wake_{Signal::Mode::ManualReset};  // set while the event wait has something to collect

    mutable std::mutex m_;  // everything below; taken inside sendLock_, never the other way round
    telnet::TelnetSession telnet_;
    std::string input_;
    std::string control_;  // telnet answers not yet sent
    std::size_t inQueue_ = 4096;
    std::uint32_t mask_ = 0;
    std::uint32_t events_ = 0;
    bool released_ = false;
    bool waiting_ = false;
    bool failed_ = false;
    OsError failError_;
    TDcb dcb_;
    std::chrono::milliseconds roundTrip_{0};

    std::mutex sendLock_;  // one sender at a time, so that commands and escaped data never interleave
};

}  // namespace

std::optional<NetworkPortName> ParseNetworkPortName(std::string_view text) {
    NetworkPortName name;
    if (StartsWithNoCase(text, kSchemes[0])) {
        text.remove_prefix(kSchemes[0].size());
    } else if (StartsWithNoCase(text, kSchemes[1])) {
        text.remove_prefix(kSchemes[1].size());
        name.rfc2217 = true;
    } else {
        return std::nullopt;
    }
    std::string_view host, port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') return std::nullopt;
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) return std::nullopt;  // a v6 address needs brackets
    }
    if (host.empty() || port.empty() || host.find_first_of(" /") != std::string_view::npos) return std::nullopt;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535) return std::nullopt;
    name.host = std::string(host);
    name.port = static_cast<std::uint16_t>(value);
    return name;
}

bool LooksLikeNetworkPortName(std::string_view text) {
    if (text.empty()) return false;
    if (text.find("://") != std::string_view::npos) return true;
    for (const std::string_view scheme : kSchemes) {
        if (StartsWithNoCase(scheme, text)) return true;
    }
    return false;
}

std::unique_ptr<SerialDevice> OpenNetworkDevice(const std::string& name, OpenFailure& failure, OsError& error) {
    const auto parsed = ParseNetworkPortName(name);
    if (!parsed) {
        failure = OpenFailure::NotFound;
        error = OsError{0, "имя сетевого порта: tcp://УЗЕЛ:ПОРТ или rfc2217://УЗЕЛ:ПОРТ"};
        return nullptr;
    }
    const auto start = std::chrono::steady_clock::now();
    auto socket = Socket::Connect(parsed->host, parsed->port, kConnectTimeout, failure, error);
    if (!socket) return nullptr;
    auto device = std::make_unique<NetworkDevice>(name, parsed->rfc2217, std::move(socket));
    device->SetConnectTime(std::chrono::ceil<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start));
    if (parsed->rfc2217 && !device->Negotiate(error)) {
        failure = OpenFailure::Other;  // e.g. a server whose serial device is busy takes the call and hangs up
        return nullptr;
    }
    return device;
}

}  // namespace lum
