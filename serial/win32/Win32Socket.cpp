// TCP connections of network ports on Win32: Winsock, non-blocking sockets. The wait for reading
// waits on the socket's own event (WSAEventSelect: data, end of the connection) together with the
// signals; the wait for writing (only when the system's send buffer is full) looks at the socket
// with select() in short steps between looks at the signals.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <mutex>
#include <vector>

#include "serial/win32/Win32Common.h"

namespace lum::serial_os {

struct Socket::Impl {
    SOCKET s = INVALID_SOCKET;
    WSAEVENT readable = WSA_INVALID_EVENT;  // FD_READ | FD_CLOSE
    ~Impl() {
        if (s != INVALID_SOCKET) ::closesocket(s);
        if (readable != WSA_INVALID_EVENT) ::WSACloseEvent(readable);
    }
};

namespace {

constexpr std::chrono::milliseconds kWriteLookStep{20};

// Winsock once per process, for the process's lifetime; its error when it cannot start.
bool StartWinsock(OsError& error) {
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] {
        WSADATA data;
        result = ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    if (result != 0) error = WinError(static_cast<DWORD>(result));
    return result == 0;
}

OsError LastSocketError() {
    return WinError(static_cast<DWORD>(::WSAGetLastError()));
}

// Keep-alive probes after 5 s of silence, every 2 s (the system sends 10 before it gives up).
void TuneSocket(SOCKET s) {
    const BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    ::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    tcp_keepalive alive{1, 5000, 2000};
    DWORD returned = 0;
    ::WSAIoctl(s, SIO_KEEPALIVE_VALS, &alive, sizeof alive, nullptr, 0, &returned, nullptr, nullptr);
}

SOCKET ConnectOne(const addrinfo& a, std::chrono::steady_clock::time_point deadline, OsError& error) {
    SOCKET s = ::socket(a.ai_family, a.ai_socktype, a.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = LastSocketError();
        return s;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    if (::connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) != 0) {
        if (::WSAGetLastError() != WSAEWOULDBLOCK) {
            error = LastSocketError();
            ::closesocket(s);
            return INVALID_SOCKET;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const long ms = left.count() > 0 ? static_cast<long>(left.count()) : 0;
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        const int n = ::select(0, nullptr, &writable, &failed, &tv);
        int soError = 0;
        int length = sizeof soError;
        if (n == 0) soError = WSAETIMEDOUT;
        else if (n < 0) soError = ::WSAGetLastError();
        else if (FD_ISSET(s, &failed) || !FD_ISSET(s, &writable))
            ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
        if (soError == 0 && !FD_ISSET(s, &writable)) soError = WSAECONNREFUSED;
        if (soError != 0) {
            error = WinError(static_cast<DWORD>(soError));
            ::closesocket(s);
            return INVALID_SOCKET;
        }
    }
    TuneSocket(s);
    return s;
}

}  // namespace

Socket::Socket(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Socket::~Socket() = default;

std::unique_ptr<Socket> Socket::Connect(const std::string& host, std::uint16_t port,
                                        std::chrono::milliseconds timeout, OpenFailure& failure, OsError& error) {
    failure = OpenFailure::Other;
    if (!StartWinsock(error)) return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        error = WinError(static_cast<DWORD>(rc));
        failure = OpenFailure::NotFound;
        return nullptr;
    }
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* a = found; a != nullptr && s == INVALID_SOCKET; a = a->ai_next)
        s = ConnectOne(*a, deadline, error);
    ::freeaddrinfo(found);
    if (s == INVALID_SOCKET) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->s = s;
    impl->readable = ::WSACreateEvent();
    if (impl->readable == WSA_INVALID_EVENT || ::WSAEventSelect(s, impl->readable, FD_READ | FD_CLOSE) != 0) {
        error = LastSocketError();
        return nullptr;
    }
    return std::unique_ptr<Socket>(new Socket(std::move(impl)));
}

Socket::Io Socket::Receive(void* buffer, std::size_t size, std::size_t& got, OsError& error) {
    got = 0;
    const int n = ::recv(impl_->s, static_cast<char*>(buffer), static_cast<int>(size), 0);
    if (n > 0) {
        got = static_cast<std::size_t>(n);
        return Io::Done;
    }
    if (n == 0) return Io::Closed;
    if (::WSAGetLastError() == WSAEWOULDBLOCK) return Io::WouldBlock;
    error = LastSocketError();
    return Io::Failed;
}

Socket::Io Socket::Send(const void* data, std::size_t size, std::size_t& sent, OsError& error) {
    sent = 0;
    const int n = ::send(impl_->s, static_cast<const char*>(data), static_cast<int>(size), 0);
    if (n >= 0) {
        sent = static_cast<std::size_t>(n);
        return Io::Done;
    }
    if (::WSAGetLastError() == WSAEWOULDBLOCK) return Io::WouldBlock;
    error = LastSocketError();
    return Io::Failed;
}

int Socket::Wait(std::span<Signal* const> signals, bool forRead, bool forWrite,
                 std::optional<std::chrono::milliseconds> timeout) {
    const int socketIndex = static_cast<int>(signals.size());
    std::vector<HANDLE> handles;
    for (Signal* s : signals) handles.push_back(s->impl().event);
    if (forRead) handles.push_back(impl_->readable);
    const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    for (;;) {
        DWORD step = INFINITE;
        if (timeout) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            step = left.count() > 0 ? static_cast<DWORD>(left.count()) : 0;
        }
        if (forWrite) step = std::min<DWORD>(step, static_cast<DWORD>(kWriteLookStep.count()));
        DWORD r = WAIT_TIMEOUT;
        if (handles.empty()) {
            ::Sleep(step == INFINITE ? static_cast<DWORD>(kWriteLookStep.count()) : step);
        } else {
            r = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, step);
        }
        if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles.size()) {
            const int i = static_cast<int>(r - WAIT_OBJECT_0);
            if (i < socketIndex) return i;
            WSANETWORKEVENTS happened;
            ::WSAEnumNetworkEvents(impl_->s, impl_->readable, &happened);  // resets the event
            return socketIndex;
        }
        if (r == WAIT_FAILED) return socketIndex;  // the next call on the socket tells why
        if (forWrite) {
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(impl_->s, &writable);
            timeval none{0, 0};
            if (::select(0, nullptr, &writable, nullptr, &none) != 0) return socketIndex;
        }
        if (timeout && std::chrono::steady_clock::now() >= deadline) return kWaitTimeout;
    }
}

}  // namespace lum::serial_os
