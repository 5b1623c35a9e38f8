// Serial devices on Win32: the communications functions on a handle opened for overlapped I/O.
//
// Each operation of the layer is one call of the system here. Reads take exactly the bytes that
// ClearCommError reports waiting, so a read never depends on the time-outs to return at once. Waits
// that end early (a stop or purge request while a write is pending, a port closed while the line-event
// wait is pending) cancel their request and collect it before its OVERLAPPED goes away.
//
// Received characters are reported once, when they arrive. Some drivers (wine's among them) end a
// line-event wait with EV_RXCHAR again and again while bytes stay queued unread; the device therefore
// counts the bytes taken by Read (and dropped by Purge), so that "bytes ever received" = taken +
// queued, and keeps EV_RXCHAR only when that sum has grown. A wait that ends with nothing new while
// bytes stay queued is started again after a pause (kRearmPause), never at once, so that unread bytes
// cannot make the event thread spin.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "serial/win32/Win32Common.h"

namespace lum::serial_os {

namespace {

static_assert(sizeof(DCB) == 28, "the settings record is the system's DCB");

// The DCB's flag word (the bit fields after BaudRate) holds the kDcb* bits in the same places.
std::uint32_t FlagWord(const DCB& dcb) {
    std::uint32_t flags = 0;
    std::memcpy(&flags, reinterpret_cast<const char*>(&dcb) + offsetof(DCB, BaudRate) + sizeof(DWORD),
                sizeof flags);
    return flags;
}

void SetFlagWord(DCB& dcb, std::uint32_t flags) {
    std::memcpy(reinterpret_cast<char*>(&dcb) + offsetof(DCB, BaudRate) + sizeof(DWORD), &flags,
                sizeof flags);
}

// Errors that only mean "this device has no modem lines" (some virtual ports).
bool NotOffered(DWORD err) {
    return err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION;
}

HANDLE NewManualEvent() {
    return ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

// How long a line-event wait that ended with nothing new rests before it starts again.
constexpr DWORD kRearmPause = 20;
// How long closing waits for a pending line-event wait to end at each step.
constexpr DWORD kReleaseBound = 500;

}  // namespace

struct SerialDevice::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string path;

    // The line-event wait: event thread only.
    HANDLE waitEvent = nullptr;
    std::unique_ptr<OVERLAPPED> waitOverlapped = std::make_unique<OVERLAPPED>();
    std::atomic<std::uint32_t> mask{0};  // the event mask last set
    DWORD waitEvents = 0;
    bool waitActive = false;
    bool waitFailed = false;
    OsError waitError;
    bool rearm = false;    // the wait ended with nothing new: start it again after a pause
    bool ready = false;    // a restarted wait ended with events for CollectEvent
    DWORD lastQueued = 0;  // the input count seen when a wait last ended
    std::uint32_t readyEvents = 0;

    // Received-character accounting and line errors taken by the device itself; guarded by rxMutex.
    std::mutex rxMutex;
    std::uint64_t taken = 0;       // bytes read or purged
    std::uint64_t seenTotal = 0;   // taken + queued when last reported
    std::uint32_t heldErrors = 0;  // error bits of the device's own ClearCommError, for ClearError

    HANDLE readEvent = nullptr;   // reads: one thread at a time
    HANDLE writeEvent = nullptr;  // writes: the write thread

    ~Impl() {
        if (handle != INVALID_HANDLE_VALUE) {
            if (waitActive) {
                // Release the wait (a new mask ends it; failing that, cancel it) and see it end before
                // its OVERLAPPED goes. Some systems (wine) neither cancel a wait started after the close
                // sequence's mask 0 nor end it: closing the handle does.
                ::SetCommMask(handle, 0);
                if (::WaitForSingleObject(waitEvent, kReleaseBound) != WAIT_OBJECT_0)
                    ::CancelIoEx(handle, waitOverlapped.get());
                if (::WaitForSingleObject(waitEvent, kReleaseBound) == WAIT_OBJECT_0) waitActive = false;
            }
            ::CloseHandle(handle);
            if (waitActive && ::WaitForSingleObject(waitEvent, kReleaseBound) != WAIT_OBJECT_0) {
                // Never ended: leave the request its OVERLAPPED and event rather than free them under it.
                (void)waitOverlapped.release();
                waitEvent = nullptr;
            }
        }
        for (HANDLE h : {waitEvent, readEvent, writeEvent}) {
            if (h != nullptr) ::CloseHandle(h);
        }
    }

    // ClearCommError under rxMutex; the error bits it clears are kept for ClearError.
    bool QueuedLocked(DWORD& queued, OsError& error) {
        DWORD flags = 0;
        COMSTAT stat{};
        if (!::ClearCommError(handle, &flags, &stat)) {
            error = LastWinError();
            return false;
        }
        heldErrors |= flags;
        queued = stat.cbInQue;
        return true;
    }

    // The events of a finished wait with EV_RXCHAR kept only when bytes arrived since the last report.
    bool KeepNew(std::uint32_t& events, OsError& error) {
        lastQueued = 0;
        if (!(events & EV_RXCHAR)) return true;
        std::lock_guard lock(rxMutex);
        DWORD queued = 0;
        if (!QueuedLocked(queued, error)) return false;
        lastQueued = queued;
        const std::uint64_t total = taken + queued;
        if (total > seenTotal) {
            seenTotal = total;
        } else {
            events &= ~static_cast<std::uint32_t>(EV_RXCHAR);
        }
        return true;
    }

    // Starts the line-event wait; Completed only with events to report (or none at all: a new mask
    // released it), Pending when the system waits or the wait is to be started again later. A wait
    // that ends at once with nothing new while nothing is queued is started again at once (a few times):
    // the system then waits for the next byte.
    WaitStatus Start(std::uint32_t& events, OsError& error) {
        for (int attempt = 0;; ++attempt) {
            ::ResetEvent(waitEvent);
            *waitOverlapped = OVERLAPPED{};
            waitOverlapped->hEvent = waitEvent;
            waitEvents = 0;
            rearm = false;
            // No mask: the close sequence; a wait now would never end (and fails on some systems).
            if (mask.load() == 0) {
                events = 0;
                return WaitStatus::Completed;
            }
            if (!::WaitCommEvent(handle, &waitEvents, waitOverlapped.get())) {
                const DWORD err = ::GetLastError();
                if (err != ERROR_IO_PENDING) {
                    error = WinError(err);
                    return WaitStatus::Failed;
                }
                waitActive = true;
                return WaitStatus::Pending;
            }
            const WaitStatus status = Finished(events, error);
            if (status != WaitStatus::Pending || lastQueued != 0 || attempt >= 2) return status;
        }
    }

    // A finished wait: its events with EV_RXCHAR only for new bytes. Nothing new: Pending, to be
    // started again after a pause.
    WaitStatus Finished(std::uint32_t& events, OsError& error) {
        events = waitEvents;
        if (events == 0) return WaitStatus::Completed;
        if (!KeepNew(events, error)) return WaitStatus::Failed;
        if (events != 0) return WaitStatus::Completed;
        rearm = true;
        return WaitStatus::Pending;
    }

    // Starts an overlapped request (`started` is its call's result) and waits for it to end.
    bool Finish(BOOL started, OVERLAPPED& ov, DWORD& transferred, OsError& error) {
        if (!started && ::GetLastError() != ERROR_IO_PENDING) {
            error = LastWinError();
            return false;
        }
        if (!::GetOverlappedResult(handle, &ov, &transferred, TRUE)) {
            error = LastWinError();
            return false;
        }
        return true;
    }
};

SerialDevice::SerialDevice() = default;
SerialDevice::SerialDevice(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SerialDevice::~SerialDevice() = default;

const std::string& SerialDevice::Path() const {
    return impl_->path;
}

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& path, OpenFailure& failure,
                                                 OsError& error) {
    failure = OpenFailure::None;
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
    if (impl->handle == INVALID_HANDLE_VALUE) {
        const DWORD err = ::GetLastError();
        error = WinError(err);
        failure = (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) ? OpenFailure::NotFound
                                                                               : OpenFailure::Other;
        return nullptr;
    }
    impl->waitEvent = NewManualEvent();
    impl->readEvent = NewManualEvent();
    impl->writeEvent = NewManualEvent();
    if (!impl->waitEvent || !impl->readEvent || !impl->writeEvent) {
        error = LastWinError();
        failure = OpenFailure::Other;
        return nullptr;
    }
    return std::unique_ptr<SerialDevice>(new SerialDevice(std::move(impl)));
}

bool SerialDevice::SetTimeouts(OsError& error) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;  // with the rest 0: a read returns what is queued
    if (!::SetCommTimeouts(impl_->handle, &t)) {
        error = LastWinError();
        return false;
    }
    return true;
}

bool SerialDevice::SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue, OsError& error) {
    if (!::SetupComm(impl_->handle, inQueue, outQueue)) {
        error = LastWinError();
        return false;
    }
    return true;
}

bool SerialDevice::SetEventMask(std::uint32_t mask, OsError& error) {
    impl_->mask.store(mask);
    if (!::SetCommMask(impl_->handle, mask)) {
        error = LastWinError();
        return false;
    }
    return true;
}

bool SerialDevice::SetState(const TDcb& dcb, OsError& error) {
    DCB d{};
    d.DCBlength = sizeof d;
    if (!::GetCommState(impl_->handle, &d)) {
        error = LastWinError();
        return false;
    }
    d.BaudRate = dcb.BaudRate;
    SetFlagWord(d, dcb.Flags);
    d.XonLim = dcb.XonLim;
    d.XoffLim = dcb.XoffLim;
    d.ByteSize = dcb.ByteSize;
    d.Parity = dcb.Parity;
    d.StopBits = dcb.StopBits;
    d.XonChar = dcb.XonChar;
    d.XoffChar = dcb.XoffChar;
    d.ErrorChar = dcb.ErrorChar;
    d.EofChar = dcb.EofChar;
    d.EvtChar = dcb.EvtChar;
    if (!::SetCommState(impl_->handle, &d)) {
        error = LastWinError();
        return false;
    }
    return true;
}

bool SerialDevice::GetState(TDcb& dcb, OsError& error) {
    DCB d{};
    d.DCBlength = sizeof d;
    if (!::GetCommState(impl_->handle, &d)) {
        error = LastWinError();
        return false;
    }
    dcb.BaudRate = d.BaudRate;
    dcb.Flags = FlagWord(d);
    dcb.XonLim = d.XonLim;
    dcb.XoffLim = d.XoffLim;
    dcb.ByteSize = d.ByteSize;
    dcb.Parity = d.Parity;
    dcb.StopBits = d.StopBits;
    dcb.XonChar = d.XonChar;
    dcb.XoffChar = d.XoffChar;
    dcb.ErrorChar = d.ErrorChar;
    dcb.EofChar = d.EofChar;
    dcb.EvtChar = d.EvtChar;
    return true;
}

SerialDevice::WaitStatus SerialDevice::StartEventWait(std::uint32_t& events, OsError& error) {
    Impl& d = *impl_;
    d.waitFailed = false;
    d.ready = false;
    return d.Start(events, error);
}

int SerialDevice::WaitEventOrSignals(std::span<Signal* const> signals, std::chrono::milliseconds timeout) {
    Impl& d = *impl_;
    const int eventIndex = static_cast<int>(signals.size());
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    std::vector<HANDLE> handles;
    for (Signal* s : signals) handles.push_back(s->impl().event);
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        handles.resize(signals.size());
        if (d.waitActive) handles.push_back(d.waitEvent);
        const DWORD limit = d.rearm ? std::min(left, kRearmPause) : left;
        const DWORD r =
            ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, limit);
        if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles.size())
            return static_cast<int>(r - WAIT_OBJECT_0);
        if (r != WAIT_TIMEOUT) {
            d.waitFailed = true;  // reported by CollectEvent
            d.waitError = LastWinError();
            return eventIndex;
        }
        if (!d.rearm || left <= kRearmPause) return kWaitTimeout;
        std::uint32_t events = 0;
        switch (d.Start(events, d.waitError)) {
            case WaitStatus::Completed:
                d.ready = true;
                d.readyEvents = events;
                return eventIndex;
            case WaitStatus::Failed:
                d.waitFailed = true;
                return eventIndex;
            case WaitStatus::Pending:
                break;  // waiting in the system, or resting again
        }
    }
}

SerialDevice::WaitStatus SerialDevice::CollectEvent(std::uint32_t& events, OsError& error) {
    Impl& d = *impl_;
    if (d.waitFailed) {
        d.waitFailed = false;
        d.waitActive = false;
        error = d.waitError;
        return WaitStatus::Failed;
    }
    if (d.ready) {
        d.ready = false;
        events = d.readyEvents;
        return WaitStatus::Completed;
    }
    if (!d.waitActive) return WaitStatus::Pending;
    DWORD ignored = 0;
    if (::GetOverlappedResult(d.handle, d.waitOverlapped.get(), &ignored, FALSE)) {
        d.waitActive = false;
        const WaitStatus status = d.Finished(events, error);  // events 0: a new mask released the wait
        // Nothing new and nothing queued: the system can wait for the next byte now.
        if (status == WaitStatus::Pending && d.lastQueued == 0) return d.Start(events, error);
        return status;
    }
    const DWORD err = ::GetLastError();
    if (err == ERROR_IO_INCOMPLETE) return WaitStatus::Pending;
    d.waitActive = false;
    error = WinError(err);
    return WaitStatus::Failed;
}

bool SerialDevice::ClearError(std::uint32_t& errors, std::uint32_t& inQueue, OsError& error) {
    Impl& d = *impl_;
    std::lock_guard lock(d.rxMutex);
    DWORD queued = 0;
    if (!d.QueuedLocked(queued, error)) return false;
    errors = d.heldErrors;  // CE_RXOVER ... CE_BREAK are the kCe* bits
    d.heldErrors = 0;
    inQueue = queued;
    return true;
}

bool SerialDevice::Read(void* buffer, std::size_t count, std::size_t& got, OsError& error) {
    Impl& d = *impl_;
    got = 0;
    std::lock_guard lock(d.rxMutex);
    // Exactly what the driver reports waiting: such a read ends at once whatever the time-outs.
    DWORD queued = 0;
    if (!d.QueuedLocked(queued, error)) return false;
    const DWORD want = static_cast<DWORD>(count < queued ? count : queued);
    if (want == 0) return true;
    OVERLAPPED ov{};
    ov.hEvent = d.readEvent;
    ::ResetEvent(d.readEvent);
    DWORD n = 0;
    const bool ok = d.Finish(::ReadFile(d.handle, buffer, want, nullptr, &ov), ov, n, error);
    got = n;
    d.taken += n;
    return ok;
}

SerialDevice::WriteResult SerialDevice::Write(const void* data, std::size_t count,
                                              std::span<Signal* const> interrupt) {
    Impl& d = *impl_;
    WriteResult result;
    const char* bytes = static_cast<const char*>(data);
    std::vector<HANDLE> handles;
    for (Signal* s : interrupt) handles.push_back(s->impl().event);
    handles.push_back(d.writeEvent);
    while (result.written < count) {
        OVERLAPPED ov{};
        ov.hEvent = d.writeEvent;
        ::ResetEvent(d.writeEvent);
        const DWORD want = static_cast<DWORD>(count - result.written);
        DWORD n = 0;
        if (!::WriteFile(d.handle, bytes + result.written, want, nullptr, &ov)) {
            if (::GetLastError() != ERROR_IO_PENDING) {
                result.ok = false;
                result.error = LastWinError();
                return result;
            }
            const DWORD r =
                ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
            if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + interrupt.size()) {
                // Stop or purge: the request ends here; count what went out before it did.
                ::CancelIoEx(d.handle, &ov);
                ::GetOverlappedResult(d.handle, &ov, &n, TRUE);
                result.written += n;
                result.signal = static_cast<int>(r - WAIT_OBJECT_0);
                return result;
            }
        }
        if (!::GetOverlappedResult(d.handle, &ov, &n, TRUE)) {
            result.ok = false;
            result.error = LastWinError();
            result.written += n;
            return result;
        }
        result.written += n;
        if (n == 0) {  // a driver that takes nothing and reports success would loop here for ever
            result.ok = false;
            result.error = WinError(ERROR_WRITE_FAULT);
            return result;
        }
    }
    return result;
}

bool SerialDevice::Purge(std::uint32_t flags, OsError& error) {
    Impl& d = *impl_;
    std::lock_guard lock(d.rxMutex);
    if (!::PurgeComm(d.handle, flags)) {
        error = LastWinError();
        return false;
    }
    if (flags & PURGE_RXCLEAR) {
        // What was dropped does not count as received later.
        DWORD queued = 0;
        if (d.QueuedLocked(queued, error)) d.seenTotal = d.taken + queued;
    }
    return true;
}

bool SerialDevice::OutputQueued(std::uint32_t& count, OsError& error) {
    Impl& d = *impl_;
    std::lock_guard lock(d.rxMutex);
    DWORD flags = 0;
    COMSTAT stat{};
    if (!::ClearCommError(d.handle, &flags, &stat)) {
        error = LastWinError();
        return false;
    }
    d.heldErrors |= flags;  // kept for ClearError, as QueuedLocked keeps them
    count = stat.cbOutQue;
    return true;
}

bool SerialDevice::Escape(std::uint32_t function, OsError& error) {
    if (!::EscapeCommFunction(impl_->handle, function)) {
        const DWORD err = ::GetLastError();
        if (NotOffered(err)) return true;
        error = WinError(err);
        return false;
    }
    return true;
}

}  // namespace lum::serial_os
