// wine-pty-peer: the far end of serial lines for programs under wine (a program of the build machine,
// used by the tests only).
//
//   wine-pty-peer [--preload LIB] [--unopenable PATH] --link PATH [--link PATH ...] -- PROGRAM [ARGS...]
//
// --unopenable makes PATH a link to a directory: a port that exists but cannot be opened.
// For each --link it makes a pseudo-terminal, sets its line to 4800 baud, two stop bits (so that a
// port that applies 9600 8N1 visibly changes it) and makes PATH a symbolic link to it (a wine
// prefix's dosdevices/comN makes it port COMn). Then it starts PROGRAM, with LIB in LD_PRELOAD, and
// answers on each line until PROGRAM ends:
//   - every byte is sent back (echo), except
//   - ENQ (0x05): the line's settings as `stty -a` shows them, then ETX (0x03);
//   - EOT (0x04): the peer goes away (its end of the pseudo-terminal is closed); after 500 ms a new
//     pseudo-terminal takes its place under PATH, as when an adapter is plugged in again.
// Exits with PROGRAM's exit status.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

pid_t g_child = -1;

// A test runner that gives up on the run ends the program under test too.
void EndChild(int sig) {
    if (g_child > 0) ::kill(g_child, SIGKILL);
    ::_exit(128 + sig);
}

struct Line {
    std::string link;
    std::string slave;
    int master = -1;
    int slaveFd = -1;  // held open, so that the master does not report a hang-up before the port opens
    std::chrono::steady_clock::time_point reopenAt{};
    bool gone = false;
};

void Die(const std::string& what) {
    std::perror(what.c_str());
    std::exit(2);
}

void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            return;  // the port side closed: nothing to answer to
        } else {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
}

void OpenLine(Line& line) {
    int master = -1, slave = -1;
    char name[128];
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) Die("openpty");
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B4800);
    tio.c_cflag |= CSTOPB;
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    line.slaveFd = slave;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    line.master = master;
    line.slave = name;
    line.gone = false;
    ::unlink(line.link.c_str());
    if (::symlink(name, line.link.c_str()) != 0) Die("symlink " + line.link);
}

std::string SttyReport(const std::string& device) {
    std::string out;
    const std::string cmd = "stty -a -F " + device + " 2>&1";
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[512];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// Answers what arrived on the line; false when the peer went away.
bool Serve(Line& line) {
    char buf[4096];
    const ssize_t n = ::read(line.master, buf, sizeof buf);
    if (n <= 0) return true;
    std::string echo;
    for (ssize_t i = 0; i < n; ++i) {
        if (buf[i] == 0x05) {
            WriteAll(line.master, echo);
            echo.clear();
            WriteAll(line.master, SttyReport(line.slave) + '\x03');
        } else if (buf[i] == 0x04) {
            WriteAll(line.master, echo);
            ::close(line.master);
            ::close(line.slaveFd);
            line.master = line.slaveFd = -1;
            line.gone = true;
            line.reopenAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
            return false;
        } else {
            echo += buf[i];
        }
    }
    WriteAll(line.master, echo);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string preload;
    std::vector<Line> lines;
    std::vector<std::string> unopenable;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a == "--preload" && i + 1 < argc) {
            preload = argv[++i];
        } else if (a == "--unopenable" && i + 1 < argc) {
            unopenable.push_back(argv[++i]);
            ::unlink(unopenable.back().c_str());
            if (::symlink("/", unopenable.back().c_str()) != 0) Die("symlink " + unopenable.back());
        } else if (a == "--link" && i + 1 < argc) {
            lines.emplace_back();
            lines.back().link = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--preload LIB] [--unopenable PATH] --link PATH... -- PROGRAM...\n",
                         argv[0]);
            return 2;
        }
    }
    if (i >= argc || lines.empty()) {
        std::fprintf(stderr, "nothing to run\n");
        return 2;
    }
    for (Line& line : lines) OpenLine(line);

    const pid_t child = ::fork();
    if (child < 0) Die("fork");
    if (child > 0) {
        g_child = child;
        ::signal(SIGTERM, EndChild);
        ::signal(SIGINT, EndChild);
    }
    if (child == 0) {
        if (!preload.empty()) ::setenv("LD_PRELOAD", preload.c_str(), 1);
        ::execvp(argv[i], argv + i);
        Die(std::string("exec ") + argv[i]);
    }

    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        std::vector<pollfd> fds;
        std::vector<Line*> owners;
        const auto now = std::chrono::steady_clock::now();
        for (Line& line : lines) {
            if (line.gone && now >= line.reopenAt) OpenLine(line);
            if (line.gone) continue;
            fds.push_back(pollfd{line.master, POLLIN, 0});
            owners.push_back(&line);
        }
        ::poll(fds.data(), fds.size(), 50);
        for (std::size_t k = 0; k < fds.size(); ++k) {
            if (fds[k].revents & POLLIN) Serve(*owners[k]);
        }
    }
    for (const auto& path : unopenable) ::unlink(path.c_str());
    for (Line& line : lines) {
        ::unlink(line.link.c_str());
        if (line.master >= 0) ::close(line.master);
        if (line.slaveFd >= 0) ::close(line.slaveFd);
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
