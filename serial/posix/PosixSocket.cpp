// TCP connections of network ports on POSIX: non-blocking sockets, poll() with the signals' eventfds.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "serial/posix/PosixCommon.h"

namespace lum::serial_os {

struct Socket::Impl {
    int fd = -1;
    ~Impl() {
        if (fd >= 0) ::close(fd);
    }
};

namespace {

// Keep-alive probes after 5 s of silence, every 2 s, 3 unanswered end the connection; data not
// acknowledged within 10 s ends it as well (ETIMEDOUT).
void TuneSocket(int fd) {
    const int on = 1, idle = 5, interval = 2, count = 3;
    const unsigned userTimeout = 10000;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
}

// One address within the deadline: the connected socket, or -1 with `error`.
int ConnectOne(const addrinfo& a, std::chrono::steady_clock::time_point deadline, OsError& error) {
    const int fd = ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0) {
        error = LastErrnoError();
        return -1;
    }
    if (::connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            error = LastErrnoError();
            ::close(fd);
            return -1;
        }
        std::vector<pollfd> fds{pollfd{fd, POLLOUT, 0}};
        const int n = PollUntil(fds, deadline);
        int soError = 0;
        socklen_t length = sizeof soError;
        if (n == 0) soError = ETIMEDOUT;
        else if (n < 0) soError = errno;
        else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) soError = errno;
        if (soError != 0) {
            error = ErrnoError(soError);
            ::close(fd);
            return -1;
        }
    }
    TuneSocket(fd);
    return fd;
}

}  // namespace

Socket::Socket(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Socket::~Socket() = default;

std::unique_ptr<Socket> Socket::Connect(const std::string& host, std::uint16_t port,
                                        std::chrono::milliseconds timeout, OpenFailure& failure, OsError& error) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        error = rc == EAI_SYSTEM ? LastErrnoError() : ResolverError(rc);
        failure = OpenFailure::NotFound;
        return nullptr;
    }
    int fd = -1;
    for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) fd = ConnectOne(*a, deadline, error);
    ::freeaddrinfo(found);
    if (fd < 0) {
        failure = OpenFailure::Other;
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->fd = fd;
    return std::unique_ptr<Socket>(new Socket(std::move(impl)));
}

Socket::Io Socket::Receive(void* buffer, std::size_t size, std::size_t& got, OsError& error) {
    got = 0;
    for (;;) {
        const ssize_t n = ::recv(impl_->fd, buffer, size, MSG_DONTWAIT);
        if (n > 0) {
            got = static_cast<std::size_t>(n);
            return Io::Done;
        }
        if (n == 0) return Io::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return Io::WouldBlock;
        error = LastErrnoError();
        return Io::Failed;
    }
}

Socket::Io Socket::Send(const void* data, std::size_t size, std::size_t& sent, OsError& error) {
    sent = 0;
    for (;;) {
        const ssize_t n = ::send(impl_->fd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0) {
            sent = static_cast<std::size_t>(n);
            return Io::Done;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return Io::WouldBlock;
        error = LastErrnoError();
        return Io::Failed;
    }
}

int Socket::Wait(std::span<Signal* const> signals, bool forRead, bool forWrite,
                 std::optional<std::chrono::milliseconds> timeout) {
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (timeout) deadline = std::chrono::steady_clock::now() + *timeout;
    std::vector<pollfd> fds;
    for (Signal* s : signals) fds.push_back(pollfd{s->impl().fd, POLLIN, 0});
    const short events = static_cast<short>((forRead ? POLLIN : 0) | (forWrite ? POLLOUT : 0));
    if (events != 0) fds.push_back(pollfd{impl_->fd, events, 0});
    for (;;) {
        for (auto& f : fds) f.revents = 0;
        const int n = PollUntil(fds, deadline);
        if (n == 0) return kWaitTimeout;
        if (n < 0) return static_cast<int>(signals.size());  // the next call on the socket tells why
        for (std::size_t i = 0; i < signals.size(); ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            Signal::Impl& s = signals[i]->impl();
            if (!s.autoReset || TakeSignal(s)) return static_cast<int>(i);
        }
        if (events != 0 && fds.back().revents != 0) return static_cast<int>(signals.size());
    }
}

}  // namespace lum::serial_os
