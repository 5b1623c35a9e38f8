// lumctl on network ports through a real serial device server: ser2net (started and stopped here,
// on free ports of 127.0.0.1) in raw TCP and in RFC 2217 mode in front of the simulated controller's
// pseudo-terminal.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "device/DeviceLink.h"
#include "sim/SimRunner.h"
#include "tests/cli/LumctlProgram.h"

namespace lum::test {
namespace {

using namespace std::chrono_literals;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Two ports of 127.0.0.1 nobody listens on (held open together, so they differ).
std::pair<int, int> FreePorts() {
    int fds[2], ports[2];
    for (int i = 0; i < 2; ++i) {
        fds[i] = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        bind(fds[i], reinterpret_cast<sockaddr*>(&a), sizeof a);
        getsockname(fds[i], reinterpret_cast<sockaddr*>(&a), &length);
        ports[i] = ntohs(a.sin_port);
    }
    close(fds[0]);
    close(fds[1]);
    return {ports[0], ports[1]};
}

// ser2net serving `device`: raw TCP on RawPort, telnet with RFC 2217 on TelnetPort.
class Ser2net {
  public:
    explicit Ser2net(const std::string& device) : device_(device) {
        std::tie(RawPort, TelnetPort) = FreePorts();
        config_ = ::testing::TempDir() + "ser2net-" + std::to_string(getpid()) + ".yaml";
        std::ofstream(config_) << "connection: &raw\n  accepter: tcp,127.0.0.1," << RawPort
                               << "\n  connector: serialdev," << device << ",9600n81,local\n"
                               << "connection: &telnet\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << TelnetPort
                               << "\n  connector: serialdev," << device << ",9600n81,local\n";
        Start();
    }
    ~Ser2net() {
        Kill();
        std::remove(config_.c_str());
        std::remove((config_ + ".pid").c_str());
    }
    // Starts the server (again) on its ports.
    void Start() {
        pid_ = fork();
        if (pid_ == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            execlp("ser2net", "ser2net", "-n", "-u", "-c", config_.c_str(), "-P", (config_ + ".pid").c_str(), nullptr);
            _exit(127);
        }
        for (int i = 0; i < 500 && !(Listening(RawPort) && Listening(TelnetPort)); ++i) std::this_thread::sleep_for(10ms);
    }
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    bool Running() const { return pid_ > 0 && Listening(RawPort) && Listening(TelnetPort); }
    // Waits (at most 5 s) until ser2net, after its client left, has let go of the device: a
    // connection that comes while it still holds it is taken and hung up.
    void WaitReleased() const {
        for (int i = 0; i < 500 && Holds(); ++i) std::this_thread::sleep_for(10ms);
    }

    int RawPort = 0, TelnetPort = 0;

  private:
    static bool Listening(int port) {
        char local[32];
        std::snprintf(local, sizeof local, "0100007F:%04X", port);
        std::ifstream tcp("/proc/net/tcp");
        for (std::string line; std::getline(tcp, line);) {
            std::istringstream f(line);
            std::string slot, address, remote, state;
            f >> slot >> address >> remote >> state;
            if (address == local && state == "0A") return true;
        }
        return false;
    }
    bool Holds() const {
        std::error_code ec;
        for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", ec)) {
            if (std::filesystem::read_symlink(fd.path(), ec) == device_) return true;
        }
        return false;
    }
    std::string device_, config_;
    pid_t pid_ = -1;
};

struct NetworkCase {
    const char* scheme;
    int Ser2net::*port;
};
const NetworkCase kModes[] = {{"tcp://", &Ser2net::RawPort}, {"rfc2217://", &Ser2net::TelnetPort}};

std::string PortName(const Ser2net& server, const NetworkCase& mode) {
    return std::string(mode.scheme) + "127.0.0.1:" + std::to_string(server.*mode.port);
}

sim::SimOptions Fast() {
    sim::SimOptions o;
    o.interval = 100ms;
    o.seed = 11;
    return o;
}

TEST(LumctlNetwork, ReadsAndVerifiedSetsThroughBothModesMatchThePseudoTerminal) {
    sim::SimRunner sim;
    const std::string pty = sim.Start(Fast());
    Ser2net server(pty);
    ASSERT_TRUE(server.Running());
    const std::string direct = ::testing::TempDir() + "net-pty.txt";
    int value = 170;  // within 160 … 220
    for (const NetworkCase& mode : kModes) {
        const std::string name = PortName(server, mode);
        const std::string file = ::testing::TempDir() + "net-" + std::to_string(value) + ".txt";
        const ProgramRun overPty = RunLumctl({"-p", pty, "read", "-o", direct});
        ASSERT_EQ(overPty.code, 0) << overPty.err;
        const ProgramRun read = RunLumctl({"-p", name, "read", "-o", file});
        ASSERT_EQ(read.code, 0) << name << "\n" << read.err;
        EXPECT_EQ(Slurp(file), Slurp(direct)) << name;
        server.WaitReleased();

        const ProgramRun set = RunLumctl({"-p", name, "set", "Параметры сети/Напряжение сети/Нижний порог=" +
                                                                 std::to_string(value)});
        EXPECT_EQ(set.code, 0) << name << "\n" << set.err;
        EXPECT_TRUE(Contains(set.out, "Проверено чтением")) << set.out;
        std::uint8_t stored = 0;
        sim.WithController([&](sim::ControllerCore& core, sim::TimePoint) { stored = core.GetMemory()[37]; });
        EXPECT_EQ(stored, value) << name;
        server.WaitReleased();
        std::remove(file.c_str());
        value += 20;
    }
    std::remove(direct.c_str());
}

TEST(LumctlNetwork, AServerThatGoesAwayIsALostDeviceFollowedAgainWhenBackAndNoServerIsRefused) {
    sim::SimRunner sim;
    const std::string pty = sim.Start(Fast());
    for (const NetworkCase& mode : kModes) {
        Ser2net server(pty);
        ASSERT_TRUE(server.Running());
        const std::string name = PortName(server, mode);
        RunOptions o;
        o.timeout = 30s;
        std::size_t mark = 0;  // output when the server went
        std::chrono::steady_clock::time_point killed;
        o.interruptWhen = [&](const std::string& out, const std::string&) {
            if (!mark && std::count(out.begin(), out.end(), '\n') >= 3) {
                mark = out.size();
                server.Kill();
                killed = std::chrono::steady_clock::now();
            } else if (mark && killed.time_since_epoch().count() && std::chrono::steady_clock::now() - killed >= 2s) {
                server.Start();  // restarted on the same ports
                killed = {};
            }
            return mark && !killed.time_since_epoch().count() && std::count(out.begin() + long(mark), out.end(), '\n') >= 3;
        };
        const ProgramRun lost = RunLumctl({"-p", name, "status", "--follow"}, o);
        EXPECT_EQ(lost.code, 130) << name << "\n" << lost.err;  // followed again until interrupted
        const std::string says = "Устройство " + name + " отключено или недоступно";
        EXPECT_TRUE(Contains(lost.err, says)) << lost.err;
        EXPECT_EQ(lost.err.find(says), lost.err.rfind(says)) << lost.err;  // one loss message
        EXPECT_TRUE(Contains(lost.err, "Переподключение к " + name)) << lost.err;

        // Nobody listens on the port any more.
        server.Kill();
        const ProgramRun refused = RunLumctl({"-p", name, "status"});
        EXPECT_EQ(refused.code, 1);
        EXPECT_TRUE(Contains(refused.err, "Can't open device " + name)) << refused.err;
        EXPECT_TRUE(Contains(refused.err, "Соединение отклонено")) << refused.err;
    }
}

TEST(LumctlNetwork, TheReplyWaitGrowsByTheRoundTripInWholeTicks) {
    const std::pair<std::optional<std::chrono::milliseconds>, int> cases[] = {
        {std::nullopt, kReplyWaitTicks}, {0ms, kReplyWaitTicks + 1},   {300ms, kReplyWaitTicks + 1},
        {301ms, kReplyWaitTicks + 2},    {900ms, kReplyWaitTicks + 3},
    };
    for (const auto& [trip, ticks] : cases)
        EXPECT_EQ(DeviceLink::ReplyWaitTicksFor(trip), ticks) << (trip ? trip->count() : -1);
}

}  // namespace
}  // namespace lum::test
