#pragma once
// The tool's end of a pseudo-terminal without the serial component: the slave opened raw
// and non-blocking, a reader thread that posts every chunk to the main loop, writes
// straight to the descriptor.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include "common/MainLoop.h"
#include "link/Transactions.h"

namespace lum::test {

class PtyClient : public IPortWriter {
  public:
    PtyClient(const std::string& path, MainLoop& loop, std::function<void(const std::string&)> onChunk)
        : loop_(loop), onChunk_(std::move(onChunk)) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) throw std::system_error(errno, std::generic_category(), path);
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
        if (pipe(wake_) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
        reader_ = std::thread([this] { ReadLoop(); });
    }
    ~PtyClient() override {
        stop_ = true;
        const char b = 1;
        [[maybe_unused]] auto n = write(wake_[1], &b, 1);
        reader_.join();
        close(fd_);
        close(wake_[0]);
        close(wake_[1]);
    }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    void WriteString(const std::string& text) override {
        std::size_t done = 0;
        while (done < text.size()) {
            const auto n = write(fd_, text.data() + done, text.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd_, POLLOUT, 0};
                poll(&p, 1, 100);
            } else {
                throw std::system_error(errno, std::generic_category(), "write");
            }
        }
    }

  private:
    void ReadLoop() {
        while (!stop_) {
            pollfd p[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (poll(p, 2, 1000) <= 0) continue;
            if (p[1].revents & POLLIN) break;
            if (p[0].revents & POLLIN) {
                char buffer[4096];
                const auto n = read(fd_, buffer, sizeof buffer);
                if (n > 0) {
                    loop_.Post([cb = onChunk_, chunk = std::string(buffer, static_cast<std::size_t>(n))] {
                        cb(chunk);
                    });
                }
            } else if (p[0].revents & (POLLHUP | POLLERR)) {
                break;
            }
        }
    }

    MainLoop& loop_;
    std::function<void(const std::string&)> onChunk_;
    int fd_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

}  // namespace lum::test
