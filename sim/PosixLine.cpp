#include "sim/PosixLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <system_error>

namespace lum::sim {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void MakeRaw(int fd, const std::string& what) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) Fail(what + ": tcgetattr");
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    if (tcsetattr(fd, TCSANOW, &t) != 0) Fail(what + ": tcsetattr");
}

}  // namespace

PosixLine::PosixLine(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
    if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
        const int e = errno;
        close(fd_);
        throw std::system_error(e, std::generic_category(), "pipe2");
    }
}

PosixLine::~PosixLine() {
    close(fd_);
    close(wake_[0]);
    close(wake_[1]);
}

std::unique_ptr<PosixLine> PosixLine::OpenPty() {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) Fail("posix_openpt");
    char name[256] = {};
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
        const int e = errno;
        close(fd);
        throw std::system_error(e, std::generic_category(), "pseudo-terminal");
    }
    try {
        // Settings made on the master apply to the slave: raw, so nothing is echoed back.
        MakeRaw(fd, name);
    } catch (...) {
        close(fd);
        throw;
    }
    return std::unique_ptr<PosixLine>(new PosixLine(fd, name));
}

std::unique_ptr<PosixLine> PosixLine::OpenDevice(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) Fail(path);
    try {
        MakeRaw(fd, path);
    } catch (...) {
        close(fd);
        throw;
    }
    return std::unique_ptr<PosixLine>(new PosixLine(fd, path));
}

void PosixLine::Interrupt() {
    const char b = 1;
    [[maybe_unused]] const auto n = write(wake_[1], &b, 1);  // a full pipe already wakes the loop
}

void PosixLine::WaitForWake(int timeoutMs) {
    pollfd p{wake_[0], POLLIN, 0};
    poll(&p, 1, timeoutMs);
}

std::string PosixLine::Read(std::chrono::milliseconds maxWait) {
    const int timeoutMs = static_cast<int>(std::clamp<long long>(maxWait.count(), 0, 60000));
    pollfd p[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int n = poll(p, 2, timeoutMs);
    std::string data;
    if (n <= 0) return data;
    if (p[1].revents & POLLIN) {
        char drain[64];
        while (read(wake_[0], drain, sizeof drain) > 0) {
        }
    }
    if (p[0].revents & POLLIN) {
        char buffer[4096];
        for (;;) {
            const auto got = read(fd_, buffer, sizeof buffer);
            if (got <= 0) break;
            data.append(buffer, static_cast<std::size_t>(got));
        }
    } else if (p[0].revents & (POLLHUP | POLLERR)) {
        // Nobody has the other end open: wait for the time asked (or an interrupt)
        // instead of returning at once again and again.
        if (!(p[1].revents & POLLIN)) WaitForWake(timeoutMs);
    }
    return data;
}

void PosixLine::Write(std::string_view bytes) {
    std::size_t done = 0;
    int waits = 0;
    while (done < bytes.size()) {
        const auto n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN && waits < 4) {
            ++waits;
            pollfd p{fd_, POLLOUT, 0};
            poll(&p, 1, 50);
            continue;
        }
        break;
    }
    dropped_ += static_cast<long long>(bytes.size() - done);
}

void MakeLink(const std::string& linkPath, const std::string& target) {
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            throw std::system_error(EEXIST, std::generic_category(), linkPath + " (не символическая ссылка)");
        }
        if (unlink(linkPath.c_str()) != 0) Fail(linkPath);
    }
    if (symlink(target.c_str(), linkPath.c_str()) != 0) Fail(linkPath);
}

}  // namespace lum::sim
