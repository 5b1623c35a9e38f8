// A TCP relay on 127.0.0.1 that delays every byte by a fixed time in each direction, for the
// network-latency benchmark (bench/network-latency.sh): a client connects to the relay, which
// connects to the server and carries the bytes both ways, each chunk handed on `delay` after it
// arrived. One client at a time; more wait for the current one to go. A client or server that
// closes ends the pair once everything before the close has been handed on.
//
// Bounded: it ends by itself after --seconds (default 900) or once --bytes (default 16 MiB) have
// been carried, and it listens and connects on the loopback address only.
//
//   bench_delay_proxy --to PORT --delay MS [--listen PORT] [--seconds S] [--bytes N]
//   prints "listening PORT" once it accepts (PORT 0 or none: a free port of its choice).
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
    Clock::time_point at;
    std::string bytes;  // empty: the sender closed
};

struct Direction {
    int from = -1, to = -1;
    bool reading = true;
    std::deque<Chunk> queue;
};

sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

bool SendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int Usage() {
    std::fprintf(stderr, "usage: bench_delay_proxy --to PORT --delay MS [--listen PORT] [--seconds S] [--bytes N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int listenPort = 0, toPort = 0;
    long delayMs = -1, seconds = 900;
    long long byteLimit = 16LL << 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string o = argv[i];
        const long long v = std::atoll(argv[i + 1]);
        if (o == "--listen") listenPort = static_cast<int>(v);
        else if (o == "--to") toPort = static_cast<int>(v);
        else if (o == "--delay") delayMs = static_cast<long>(v);
        else if (o == "--seconds") seconds = static_cast<long>(v);
        else if (o == "--bytes") byteLimit = v;
        else return Usage();
    }
    if (toPort <= 0 || toPort > 65535 || delayMs < 0 || delayMs > 60000 || listenPort < 0 || listenPort > 65535)
        return Usage();
    const auto delay = std::chrono::milliseconds(delayMs);
    const auto end = Clock::now() + std::chrono::seconds(seconds);

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at = Loopback(listenPort);
    socklen_t length = sizeof at;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listener, 4) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
        std::perror("bench_delay_proxy: listen");
        return 1;
    }
    std::printf("listening %d\n", ntohs(at.sin_port));
    std::fflush(stdout);

    long long carried = 0;
    Direction up, down;  // client -> server, server -> client
    const auto closePair = [&] {
        if (up.from >= 0) ::close(up.from);
        if (down.from >= 0) ::close(down.from);
        up = Direction{};
        down = Direction{};
    };
    while (Clock::now() < end && carried < byteLimit) {
        const bool paired = up.from >= 0;
        pollfd fds[3] = {{listener, static_cast<short>(paired ? 0 : POLLIN), 0},
                         {up.from, static_cast<short>(up.reading ? POLLIN : 0), 0},
                         {down.from, static_cast<short>(down.reading ? POLLIN : 0), 0}};
        auto wake = end;
        for (const Direction* d : {&up, &down})
            if (!d->queue.empty() && d->queue.front().at < wake) wake = d->queue.front().at;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now());
        ::poll(fds, 3, static_cast<int>(std::max<long long>(0, wait.count())));

        if (!paired && (fds[0].revents & POLLIN)) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in to = Loopback(toPort);
            if (::connect(server, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            for (const int fd : {client, server}) ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            up.from = down.to = client;
            down.from = up.to = server;
            continue;
        }
        for (int i = 1; i <= 2; ++i) {
            Direction& d = i == 1 ? up : down;
            if (d.from < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = ::recv(d.from, buffer, sizeof buffer, 0);
            d.queue.push_back(Chunk{Clock::now() + delay, n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : ""});
            if (n <= 0) d.reading = false;
            else carried += n;
        }
        bool closed = false;
        for (Direction* d : {&up, &down}) {
            while (!closed && !d->queue.empty() && d->queue.front().at <= Clock::now()) {
                const Chunk chunk = std::move(d->queue.front());
                d->queue.pop_front();
                if (chunk.bytes.empty() || !SendAll(d->to, chunk.bytes)) closed = true;
            }
        }
        if (closed) closePair();
    }
    closePair();
    ::close(listener);
    return 0;
}
