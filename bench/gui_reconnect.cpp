// Reconnection after an outage, timed by the wall clock: controller-sim (the program, on a
// pseudo-terminal behind a --link path) is killed, stays away for 3 s and is started again
// on the same path; the window (offscreen, in this process) and `lumctl status --follow` (the
// program) each follow it. Prints, per round, the time from the pseudo-terminal's return
// (the link in place again) to the first status record shown, and the loss messages seen.
//
//   bench_gui_reconnect [ROUNDS, default 3] [INTERVAL_MS, default 1000]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "app/QtSafeSync.h"
#include "app/Unit1.h"
#include "tests/support/ScriptedDialogs.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

pid_t Spawn(const std::vector<std::string>& args, int stdoutFd) {
    std::vector<std::string> a = args;
    std::vector<char*> argv;
    for (auto& s : a) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    else posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::string Target(const std::string& link) {
    char buffer[256];
    const ssize_t n = readlink(link.c_str(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// controller-sim behind `link`, killed and started again.
struct Simulator {
    std::string link;
    int interval;
    pid_t pid = 0;

    // Starts it and waits (running `idle`) until its link is in place.
    void Start(const std::function<void()>& idle) {
        pid = Spawn({std::string(LUM_BUILD_DIR) + "/controller-sim", "--interval", std::to_string(interval), "--link",
                     link},
                    -1);
        while (Target(link).empty()) idle();
    }
    // Killed, its pseudo-terminal goes; the link it leaves behind is removed too, as it could
    // name the next pseudo-terminal another program opens.
    void Kill() {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        unlink(link.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    lum::TApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const int interval = argc > 2 ? std::atoi(argv[2]) : 1000;
    const std::string link = "/tmp/lum-bench-reconnect-" + std::to_string(getpid());
    std::printf("outage 3 s, status interval %d ms\n", interval);

    {  // the window
        lum::ScriptedDialogs dialogs;
        lum::InstallQtSafeSync(dialogs);
        Simulator sim{link, interval, 0};
        auto pump = [] { QApplication::processEvents(QEventLoop::AllEvents, 5); };
        sim.Start(pump);
        {
            lum::TForm1 form(dialogs);
            Clock::time_point shown{};
            form.Device->Rx.DecodeStatusRecord = [&, decode = form.Device->Rx.DecodeStatusRecord](const lum::LinkState& s) {
                if (decode) decode(s);
                shown = Clock::now();
            };
            form.OpenDevicePath(link);
            for (const auto until = Clock::now() + 5s; shown == Clock::time_point{} && Clock::now() < until;) pump();
            for (int r = 0; r < rounds; ++r) {
                const std::size_t errorsBefore = dialogs.errors.size();
                sim.Kill();
                const auto killed = Clock::now();
                std::string note;
                while (Clock::now() - killed < 3s) {
                    pump();
                    if (note.empty() && form.StatusPanelText(1).startsWith(QStringLiteral("Переподключение")))
                        note = form.StatusPanelText(1).toStdString();
                }
                sim.Start(pump);
                const auto back = Clock::now();
                shown = {};
                while (shown == Clock::time_point{} && Clock::now() - back < 20s) pump();
                std::printf("window, round %d: first record %.2f s after the pseudo-terminal's return (%.2f s after the "
                            "kill); loss messages %zu; status bar during the outage: \"%s\"\n",
                            r + 1, Seconds(shown - back), Seconds(shown - killed), dialogs.errors.size() - errorsBefore,
                            note.c_str());
            }
        }
        sim.Kill();
        lum::UninstallQtSafeSync();
    }

    {  // lumctl status --follow
        Simulator sim{link, interval, 0};
        auto idle = [] { std::this_thread::sleep_for(5ms); };
        sim.Start(idle);
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0) return 1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<std::string> a = {std::string(LUM_BUILD_DIR) + "/lumctl", "-p", link, "status", "--follow"};
        std::vector<char*> av;
        for (auto& s : a) av.push_back(s.data());
        av.push_back(nullptr);
        pid_t lumctl = 0;
        posix_spawn(&lumctl, av[0], &actions, nullptr, av.data(), environ);
        close(out[1]);
        close(err[1]);
        std::string stdoutText, stderrText;
        // Reads what lumctl printed for at most `limit`; true when a new stdout line came.
        auto read = [&](Clock::duration limit) {
            const auto until = Clock::now() + limit;
            bool line = false;
            while (!line && Clock::now() < until) {
                pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
                if (poll(fds, 2, 10) <= 0) continue;
                char buffer[4096];
                for (int i = 0; i < 2; ++i) {
                    if (!(fds[i].revents & POLLIN)) continue;
                    const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                    if (n <= 0) continue;
                    (i == 0 ? stdoutText : stderrText).append(buffer, static_cast<std::size_t>(n));
                    if (i == 0) line = true;
                }
            }
            return line;
        };
        read(5s);
        for (int r = 0; r < rounds; ++r) {
            const std::size_t errBefore = stderrText.size();
            sim.Kill();
            const auto killed = Clock::now();
            while (Clock::now() - killed < 3s) read(killed + 3s - Clock::now());
            sim.Start(idle);
            const auto back = Clock::now();
            const bool resumed = read(20s);
            const auto first = Clock::now();
            const std::string said = stderrText.substr(errBefore);
            int losses = 0, notes = 0;
            for (auto at = said.find("отключено"); at != std::string::npos; at = said.find("отключено", at + 1)) ++losses;
            for (auto at = said.find("Переподключение"); at != std::string::npos; at = said.find("Переподключение", at + 1))
                ++notes;
            std::printf("lumctl, round %d: %s %.2f s after the pseudo-terminal's return (%.2f s after the kill); loss "
                        "messages %d, attempt notes %d\n",
                        r + 1, resumed ? "first record" : "NO RECORD", Seconds(first - back), Seconds(first - killed),
                        losses, notes);
        }
        kill(lumctl, SIGINT);
        waitpid(lumctl, nullptr, 0);
        sim.Kill();
        unlink(link.c_str());
    }
    return 0;
}
