#pragma once
// Test helper: runs the real lumctl program, collects its stdout and stderr and its exit
// code; ends it (SIGKILL) when it outlives the time limit, and can send it SIGINT once
// its output satisfies a condition (a Ctrl-C at a chosen moment).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace lum::test {

struct ProgramRun {
    int code = -1;       // exit code; 128 + signal when a signal ended it
    bool timedOut = false;
    std::string out, err;
};

struct RunOptions {
    std::chrono::milliseconds timeout{60000};
    // Checked whenever output arrives and every 100 ms of silence; true sends SIGINT once.
    std::function<bool(const std::string& out, const std::string& err)> interruptWhen;
    std::string stdoutFile;      // standard output opened on this file instead of collected
    bool closeStdout = false;    // standard output a pipe whose reader has gone at once
};

inline std::string LumctlPath() {
    return std::string(LUM_BUILD_DIR) + "/lumctl";
}

inline ProgramRun RunLumctl(const std::vector<std::string>& args, const RunOptions& options = {}) {
    const std::string program = LumctlPath();
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.stdoutFile.empty()) {
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, options.stdoutFile.c_str(), O_WRONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (options.closeStdout) close(std::exchange(outPipe[0], open("/dev/null", O_RDONLY)));
    if (spawned != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        throw std::runtime_error("posix_spawn " + program);
    }

    ProgramRun run;
    bool interrupted = false;
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        // Short polls: the condition is also asked while the program is silent.
        const bool ready = poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 100))) > 0;
        for (int i = 0; ready && i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? run.out : run.err).append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (!interrupted && options.interruptWhen && options.interruptWhen(run.out, run.err)) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace lum::test
