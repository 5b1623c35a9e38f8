// Serial devices on POSIX: termios raw mode, non-blocking I/O, poll() with an eventfd to wake the
// line-event wait.
//
// The line-event wait reports received characters when they arrive: the device counts the bytes taken
// by Read (and dropped by Purge), so that "bytes ever received" = taken + queued; a rise of that sum is
// a received-character event. While bytes stay queued unread, the wait does not poll for input (that
// would return at once, again and again); a Read that empties the queue wakes the wait so that it
// watches for input again. A hang-up (POLLHUP, e.g. the peer of a pseudo-terminal closed or a USB
// adapter pulled) fails the wait once; it is not mistaken for "nothing queued".
//
// Modem lines and line-error counters are read when the device offers them (TIOCMGET, TIOCGICOUNT);
// pseudo-terminals offer neither, which simply means no such events.
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "serial/posix/PosixCommon.h"

namespace lum::serial_os {

namespace {

struct BaudEntry {
    std::uint32_t baud;
    speed_t speed;
};
constexpr BaudEntry kBauds[] = {{50, B50},         {75, B75},         {110, B110},        {134, B134},
                                {150, B150},       {200, B200},       {300, B300},        {600, B600},
                                {1200, B1200},     {1800, B1800},     {2400, B2400},      {4800, B4800},
                                {9600, B9600},     {19200, B19200},   {38400, B38400},    {57600, B57600},
                                {115200, B115200}, {230400, B230400}, {460800, B460800},  {500000, B500000},
                                {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

// ioctl failures that only mean "this device has no such thing" (pseudo-terminals, some adapters).
bool NotOffered(int err) {
    return err == EINVAL || err == ENOTTY;
}

}  // namespace

struct SerialDevice::Impl {
    int fd = -1;
    int wakeFd = -1;  // eventfd: poked by SetEventMask and by a Read that empties the queue
    std::string path;

    std::atomic<std::uint32_t> mask{0};
    std::atomic<std::uint32_t> maskGeneration{0};

    // Received-character accounting, guarded by rxMutex.
    std::mutex rxMutex;
    std::uint64_t taken = 0;      // bytes read or purged
    std::uint64_t seenTotal = 0;  // taken + queued when last reported
    std::atomic<bool> rxNotWatched{false};

    // Line errors and modem lines.
    std::mutex lineMutex;
    bool hasCounters = true;
    serial_icounter_struct counters{};
    std::uint32_t errorBits = 0;  // for ClearError
    bool hasModemLines = true;
    int modemLines = 0;

    // Event thread only.
    bool waitActive = false;
    std::uint32_t waitGeneration = 0;
    std::uint32_t pendingEvents = 0;
    bool hungUp = false;
    bool scanFailed = false;
    OsError scanError;

    // Applied settings, for what termios cannot tell back.
    TDcb applied;
    bool immediateReads = false;

    ~Impl() {
        if (fd >= 0) {
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
        }
        if (wakeFd >= 0) ::close(wakeFd);
    }

    void Wake() {
        const std::uint64_t one = 1;
        while (::write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

    void DrainWake() {
        std::uint64_t value;
        while (::read(wakeFd, &value, sizeof value) < 0 && errno == EINTR) {
        }
    }

    bool QueuedLocked(std::uint32_t& queued, OsError& error) {
        int n = 0;
        if (::ioctl(fd, FIONREAD, &n) != 0) {
            error = LastErrnoError();
            return false;
        }
        queued = static_cast<std::uint32_t>(n);
        return true;
    }

    // Line errors since the last look, from the driver's counters; adds them to errorBits.
    // Returns false on a failure of the device.
    bool GatherErrorsLocked(bool& newErrors, OsError& error) {
        newErrors = false;
        if (!hasCounters) return true;
        serial_icounter_struct now{};
        if (::ioctl(fd, TIOCGICOUNT, &now) != 0) {
            if (NotOffered(errno)) {
                hasCounters = false;
                return true;
            }
            error = LastErrnoError();
            return false;
        }
        std::uint32_t bits = 0;
        if (now.overrun != counters.overrun) bits |= kCeOverrun;
        if (now.buf_overrun != counters.buf_overrun) bits |= kCeRxOver;
        if (now.parity != counters.parity) bits |= kCeRxParity;
        if (now.frame != counters.frame) bits |= kCeFrame;
        if (now.brk != counters.brk) bits |= kCeBreak;
        counters = now;
        errorBits |= bits;
        newErrors = bits != 0;
        return true;
    }

    // Ends the wait with the line events of the mask seen since the last look: Completed with
    // them, Pending when none (or no mask: only a new mask ends such a wait), Failed when the
    // device cannot be looked at. Event thread.
    WaitStatus TakeEvents(std::uint32_t& events, OsError& error) {
        const std::uint32_t m = mask.load();
        if (m == 0) return WaitStatus::Pending;
        std::uint32_t queued = 0;
        if (!Scan(queued, error)) {
            waitActive = false;
            return WaitStatus::Failed;
        }
        events = pendingEvents & m;
        pendingEvents = 0;
        if (events == 0) return WaitStatus::Pending;
        waitActive = false;
        return WaitStatus::Completed;
    }

    // Looks for line events since the last look and adds them to pendingEvents; also tells whether
    // bytes are queued. Event thread.
    bool Scan(std::uint32_t& queued, OsError& error) {
        std::uint32_t events = 0;
        {
            std::lock_guard lock(rxMutex);
            if (!QueuedLocked(queued, error)) return false;
            const std::uint64_t total = taken + queued;
            if (total > seenTotal) {
                events |= kEvRxChar;
                seenTotal = total;
            }
        }
        {
            std::lock_guard lock(lineMutex);
            bool newErrors = false;
            if (!GatherErrorsLocked(newErrors, error)) return false;
            if (newErrors) events |= kEvErr;
            if (hasModemLines) {
                int lines = 0;
                if (::ioctl(fd, TIOCMGET, &lines) != 0) {
                    if (!NotOffered(errno)) {
                        error = LastErrnoError();
                        return false;
                    }
                    hasModemLines = false;
                } else {
                    const int changed = lines ^ modemLines;
                    modemLines = lines;
                    if (changed & TIOCM_CTS) events |= kEvCts;
                    if (changed & TIOCM_DSR) events |= kEvDsr;
                    if (changed & TIOCM_CD) events |= kEvRlsd;
                    if (changed & TIOCM_RI) events |= kEvRing;
                }
            }
        }
        pendingEvents |= events;
        return true;
    }

    // The error to report for a hang-up: what the device now answers, or a plain statement.
    OsError HangUpError() {
        int n = 0;
        if (::ioctl(fd, FIONREAD, &n) != 0) return LastErrnoError();
        return ErrnoError(EIO);
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
    impl->fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (impl->fd < 0) {
        const int err = errno;
        error = ErrnoError(err);
        failure = (err == ENOENT || err == ENODEV || err == ENXIO || err == ENOTDIR) ? OpenFailure::NotFound
                                                                                     : OpenFailure::Other;
        return nullptr;
    }
    termios tio{};
    if (::tcgetattr(impl->fd, &tio) != 0) {  // not a terminal device
        error = LastErrnoError();
        failure = OpenFailure::Other;
        return nullptr;
    }
    // No sharing: an advisory lock every opener here takes, plus the terminal's exclusive mode against
    // other programs.
    if (::flock(impl->fd, LOCK_EX | LOCK_NB) != 0) {
        error = LastErrnoError();
        failure = OpenFailure::Other;
        return nullptr;
    }
    ::ioctl(impl->fd, TIOCEXCL);
    impl->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (impl->wakeFd < 0) {
        error = LastErrnoError();
        failure = OpenFailure::Other;
        return nullptr;
    }
    // First look at the counters and modem lines, so that only later changes count as events.
    {
        std::lock_guard lock(impl->lineMutex);
        bool ignored = false;
        OsError ignoredError;
        impl->GatherErrorsLocked(ignored, ignoredError);
        impl->errorBits = 0;
        if (::ioctl(impl->fd, TIOCMGET, &impl->modemLines) != 0) impl->hasModemLines = false;
    }
    return std::unique_ptr<SerialDevice>(new SerialDevice(std::move(impl)));
}

bool SerialDevice::SetTimeouts(OsError& error) {
    termios tio{};
    if (::tcgetattr(impl_->fd, &tio) != 0) {
        error = LastErrnoError();
        return false;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(impl_->fd, TCSANOW, &tio) != 0) {
        error = LastErrnoError();
        return false;
    }
    impl_->immediateReads = true;
    return true;
}

bool SerialDevice::SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue, OsError& error) {
    // The terminal driver's queues have a fixed size; only nonsense is refused.
    if (inQueue == 0 || outQueue == 0 || inQueue > 0x7FFFFFFF || outQueue > 0x7FFFFFFF) {
        error = ErrnoError(EINVAL);
        return false;
    }
    return true;
}

bool SerialDevice::SetEventMask(std::uint32_t mask, OsError&) {
    impl_->mask.store(mask);
    impl_->maskGeneration.fetch_add(1);
    impl_->Wake();
    return true;
}

bool SerialDevice::SetState(const TDcb& dcb, OsError& error) {
    Impl& d = *impl_;
    termios tio{};
    if (::tcgetattr(d.fd, &tio) != 0) {
        error = LastErrnoError();
        return false;
    }
    const auto refuse = [&error] {
        error = ErrnoError(EINVAL);
        return false;
    };
    speed_t speed = 0;
    bool known = false;
    for (const auto& b : kBauds) {
        if (b.baud == dcb.BaudRate) {
            speed = b.speed;
            known = true;
        }
    }
    if (!known) return refuse();
    if (dcb.Parity > 4 || dcb.StopBits > 2) return refuse();
    // Flow control on DSR/DTR has no counterpart here.
    if (dcb.Flags & (kDcbOutxDsrFlow | kDcbDtrHandshake)) return refuse();

    ::cfmakeraw(&tio);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (dcb.ByteSize) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        case 8:
            tio.c_cflag |= CS8;
            break;
        default:
            return refuse();
    }
    switch (dcb.Parity) {
        case 1:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case 2:
            tio.c_cflag |= PARENB;
            break;
        case 3:
            tio.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case 4:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    // A UART sends one and a half stop bits for the two-stop-bit setting with 5 data bits.
    if (dcb.StopBits == 1 && dcb.ByteSize != 5) return refuse();
    if (dcb.StopBits != 0) tio.c_cflag |= CSTOPB;
    if (dcb.Flags & kDcbParity) tio.c_iflag |= INPCK;
    if ((dcb.Flags & kDcbOutxCtsFlow) || (dcb.Flags & kDcbRtsHandshake)) tio.c_cflag |= CRTSCTS;
    if (dcb.Flags & kDcbOutX) tio.c_iflag |= IXON;
    if (dcb.Flags & kDcbInX) tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    tio.c_cc[VMIN] = d.immediateReads ? 0 : 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetspeed(&tio, speed) != 0) {
        error = LastErrnoError();
        return false;
    }
    if (::tcsetattr(d.fd, TCSANOW, &tio) != 0) {
        error = LastErrnoError();
        return false;
    }
    // A device may drop what it cannot do and still report success (a pseudo-terminal has no parity
    // and only 8 data bits): look at what it took.
    termios now{};
    constexpr tcflag_t kLine = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    if (::tcgetattr(d.fd, &now) != 0) {
        error = LastErrnoError();
        return false;
    }
    if ((now.c_cflag & kLine) != (tio.c_cflag & kLine) || ::cfgetospeed(&now) != speed) return refuse();
    d.applied = dcb;
    // DTR and RTS levels when they are not used for flow control.
    const bool rtsFlow = (dcb.Flags & kDcbRtsHandshake) != 0;
    if (!Escape((dcb.Flags & kDcbDtrEnable) ? kSetDtr : kClrDtr, error)) return false;
    if (!rtsFlow && !Escape((dcb.Flags & kDcbRtsEnable) ? kSetRts : kClrRts, error)) return false;
    return true;
}

bool SerialDevice::GetState(TDcb& dcb, OsError& error) {
    const Impl& d = *impl_;
    termios tio{};
    if (::tcgetattr(d.fd, &tio) != 0) {
        error = LastErrnoError();
        return false;
    }
    TDcb r = d.applied;
    const speed_t speed = ::cfgetospeed(&tio);
    r.BaudRate = 0;
    for (const auto& b : kBauds) {
        if (b.speed == speed) r.BaudRate = b.baud;
    }
    switch (tio.c_cflag & CSIZE) {
        case CS5:
            r.ByteSize = 5;
            break;
        case CS6:
            r.ByteSize = 6;
            break;
        case CS7:
            r.ByteSize = 7;
            break;
        default:
            r.ByteSize = 8;
            break;
    }
    if (!(tio.c_cflag & PARENB)) {
        r.Parity = 0;
    } else if (tio.c_cflag & CMSPAR) {
        r.Parity = (tio.c_cflag & PARODD) ? 3 : 4;
    } else {
        r.Parity = (tio.c_cflag & PARODD) ? 1 : 2;
    }
    r.StopBits = (tio.c_cflag & CSTOPB) ? (r.ByteSize == 5 ? 1 : 2) : 0;
    std::uint32_t flags = kDcbBinary | (r.Flags & (kDcbDtrEnable | kDcbRtsEnable | kDcbDsrSensitivity |
                                                   kDcbTxContinueOnXoff | kDcbErrorChar | kDcbNull));
    if (tio.c_iflag & INPCK) flags |= kDcbParity;
    if (tio.c_cflag & CRTSCTS) flags = (flags & ~kDcbRtsEnable) | kDcbOutxCtsFlow | kDcbRtsHandshake;
    if (tio.c_iflag & IXON) flags |= kDcbOutX;
    if (tio.c_iflag & IXOFF) flags |= kDcbInX;
    r.Flags = flags;
    r.XonChar = static_cast<char>(tio.c_cc[VSTART]);
    r.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
    dcb = r;
    return true;
}

SerialDevice::WaitStatus SerialDevice::StartEventWait(std::uint32_t& events, OsError& error) {
    Impl& d = *impl_;
    d.DrainWake();  // earlier wake-ups are answered by the look below
    d.waitActive = true;
    d.waitGeneration = d.maskGeneration.load();
    return d.TakeEvents(events, error);
}

int SerialDevice::WaitEventOrSignals(std::span<Signal* const> signals, std::chrono::milliseconds timeout) {
    Impl& d = *impl_;
    const int eventIndex = static_cast<int>(signals.size());
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<pollfd> fds;
    for (Signal* s : signals) fds.push_back(pollfd{s->impl().fd, POLLIN, 0});
    const std::size_t wakeAt = fds.size();
    bool watchPort = false;
    if (d.waitActive) {
        fds.push_back(pollfd{d.wakeFd, POLLIN, 0});
        if (d.maskGeneration.load() != d.waitGeneration || d.hungUp || d.scanFailed) return eventIndex;
        if (d.mask.load() != 0) {
            // Mark first, then look: a Read that empties the queue after the look sees the mark and
            // wakes this wait.
            d.rxNotWatched.store(true);
            std::uint32_t queued = 0;
            if (!d.Scan(queued, d.scanError)) {
                d.scanFailed = true;
                return eventIndex;
            }
            if (d.pendingEvents & d.mask.load()) return eventIndex;
            if (queued == 0) d.rxNotWatched.store(false);
            // POLLHUP and POLLERR are reported even without POLLIN.
            fds.push_back(pollfd{d.fd, static_cast<short>(queued == 0 ? POLLIN : 0), 0});
            watchPort = true;
        }
    }
    for (;;) {
        for (auto& f : fds) f.revents = 0;
        const int n = PollUntil(fds, deadline);
        if (n < 0) {
            d.scanError = LastErrnoError();
            d.scanFailed = true;
            return eventIndex;
        }
        if (n == 0) return kWaitTimeout;
        for (std::size_t i = 0; i < signals.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            Signal::Impl& s = signals[i]->impl();
            if (!s.autoReset || TakeSignal(s)) return static_cast<int>(i);
        }
        if (d.waitActive && (fds[wakeAt].revents & POLLIN)) {
            d.DrainWake();
            return eventIndex;
        }
        if (watchPort) {
            const short r = fds[wakeAt + 1].revents;
            if (r & (POLLHUP | POLLERR | POLLNVAL)) {
                d.hungUp = true;
                return eventIndex;
            }
            if (r & POLLIN) return eventIndex;
        }
    }
}

SerialDevice::WaitStatus SerialDevice::CollectEvent(std::uint32_t& events, OsError& error) {
    Impl& d = *impl_;
    if (!d.waitActive) return WaitStatus::Pending;
    if (d.maskGeneration.load() != d.waitGeneration) {
        // The mask was set while the wait was pending: it ends with no events.
        d.waitActive = false;
        events = 0;
        return WaitStatus::Completed;
    }
    if (d.hungUp) {
        d.waitActive = false;
        error = d.HangUpError();
        return WaitStatus::Failed;
    }
    if (d.scanFailed) {
        d.waitActive = false;
        error = d.scanError;
        return WaitStatus::Failed;
    }
    return d.TakeEvents(events, error);
}

bool SerialDevice::ClearError(std::uint32_t& errors, std::uint32_t& inQueue, OsError& error) {
    Impl& d = *impl_;
    {
        std::lock_guard lock(d.rxMutex);
        if (!d.QueuedLocked(inQueue, error)) return false;
    }
    std::lock_guard lock(d.lineMutex);
    bool ignored = false;
    if (!d.GatherErrorsLocked(ignored, error)) return false;
    errors = d.errorBits;
    d.errorBits = 0;
    return true;
}

bool SerialDevice::Read(void* buffer, std::size_t count, std::size_t& got, OsError& error) {
    Impl& d = *impl_;
    got = 0;
    std::uint32_t left = 0;
    {
        std::lock_guard lock(d.rxMutex);
        while (got < count) {
            const ssize_t n = ::read(d.fd, static_cast<char*>(buffer) + got, count - got);
            if (n > 0) {
                got += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) {
                error = LastErrnoError();
                d.taken += got;
                return false;
            }
            break;  // nothing more queued (or end of input)
        }
        d.taken += got;
        if (!d.QueuedLocked(left, error)) return got > 0;
    }
    if (left == 0 && d.rxNotWatched.load()) d.Wake();
    return true;
}

SerialDevice::WriteResult SerialDevice::Write(const void* data, std::size_t count,
                                              std::span<Signal* const> interrupt) {
    Impl& d = *impl_;
    WriteResult result;
    const char* bytes = static_cast<const char*>(data);
    std::vector<pollfd> fds;
    for (Signal* s : interrupt) fds.push_back(pollfd{s->impl().fd, POLLIN, 0});
    fds.push_back(pollfd{d.fd, POLLOUT, 0});
    while (result.written < count) {
        const ssize_t n = ::write(d.fd, bytes + result.written, count - result.written);
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            result.ok = false;
            result.error = LastErrnoError();
            return result;
        }
        // The driver's output queue is full: wait for room or a signal.
        for (;;) {
            for (auto& f : fds) f.revents = 0;
            if (PollUntil(fds, std::nullopt) < 0) {
                result.ok = false;
                result.error = LastErrnoError();
                return result;
            }
            for (std::size_t i = 0; i < interrupt.size(); ++i) {
                if (!(fds[i].revents & POLLIN)) continue;
                Signal::Impl& s = interrupt[i]->impl();
                if (!s.autoReset || TakeSignal(s)) {
                    result.signal = static_cast<int>(i);
                    return result;
                }
            }
            const short r = fds.back().revents;
            if (r & (POLLHUP | POLLERR | POLLNVAL)) {
                result.ok = false;
                result.error = d.HangUpError();
                return result;
            }
            if (r & POLLOUT) break;
        }
    }
    return result;
}

bool SerialDevice::Purge(std::uint32_t flags, OsError& error) {
    Impl& d = *impl_;
    const bool in = (flags & kPurgeRxClear) != 0;
    const bool out = (flags & kPurgeTxClear) != 0;
    if (!in && !out) return true;  // aborts only: no request of this device waits in the driver
    std::lock_guard lock(d.rxMutex);
    if (::tcflush(d.fd, in && out ? TCIOFLUSH : (in ? TCIFLUSH : TCOFLUSH)) != 0) {
        error = LastErrnoError();
        return false;
    }
    if (in) {
        // What was dropped does not count as received later.
        std::uint32_t queued = 0;
        if (d.QueuedLocked(queued, error)) d.seenTotal = d.taken + queued;
    }
    return true;
}

bool SerialDevice::OutputQueued(std::uint32_t& count, OsError& error) {
    int n = 0;
    if (::ioctl(impl_->fd, TIOCOUTQ, &n) != 0) {
        error = LastErrnoError();
        return false;
    }
    count = n > 0 ? static_cast<std::uint32_t>(n) : 0;
    return true;
}

bool SerialDevice::Escape(std::uint32_t function, OsError& error) {
    int bits = 0;
    unsigned long request = 0;
    switch (function) {
        case kSetDtr:
            bits = TIOCM_DTR, request = TIOCMBIS;
            break;
        case kClrDtr:
            bits = TIOCM_DTR, request = TIOCMBIC;
            break;
        case kSetRts:
            bits = TIOCM_RTS, request = TIOCMBIS;
            break;
        case kClrRts:
            bits = TIOCM_RTS, request = TIOCMBIC;
            break;
        default:
            error = ErrnoError(EINVAL);
            return false;
    }
    if (::ioctl(impl_->fd, request, &bits) != 0 && !NotOffered(errno)) {
        error = LastErrnoError();
        return false;
    }
    return true;
}

}  // namespace lum::serial_os
