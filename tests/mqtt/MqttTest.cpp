// lumctl mqtt: the bridge's rules with a recording client, then the real program against a
// mosquitto started here (127.0.0.1, a free port, no persistence) and the simulated controller.
#include <gtest/gtest.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <map>
#include <set>

#include "cli/mqtt/MqttBridge.h"
#include "lum_version.h"
#include "sim/SimRunner.h"
#include "tests/cli/LumctlProgram.h"
#include "tests/support/LinkedController.h"

namespace lum::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using cli::MqttBridge;

struct Recorder : cli::IMqttClient {
    std::vector<std::pair<std::string, std::string>> sent;
    bool Publish(const std::string& t, const std::string& p, bool) override { return sent.emplace_back(t, p), true; }
    bool Subscribe(const std::string&) override { return true; }
    bool Connected() const override { return true; }
    std::string BrokerName() const override { return "test"; }
};

TEST(MqttBridge, ValuesWaitTheirIntervalTheStateModeAndFlagsGoAtOnce) {
    Recorder c;
    MqttBridge b(c, {"p", "", 5000ms, false}, {"00012345", 200, "0"});
    StatusRecord r;
    const MqttBridge::Clock::time_point t0{};
    b.Status(r, {}, t0);
    b.Connected(t0);
    const struct {
        int ms;
        std::function<void()> change;
        std::set<std::string> published;  // topic leaves
    } steps[] = {
        {1000, [&] { r.VoltageA = 221; }, {}},
        {2000, [&] { r.Flags[0] = true; }, {"three_phase", "state"}},
        {3000, [&] { r.WORK_MODE = 1; }, {"state_text", "state"}},
        {5000, [] {}, {"phase_a"}},  // held since 1000, due 5000 after it was sent last
        {6000, [&] { r.VoltageA = 222; }, {}},
        {8000, [] {}, {"state"}},  // the record differs from the one in the state of 3000
        {10000, [] {}, {"phase_a"}},
    };
    for (const auto& s : steps) {
        c.sent.clear();
        s.change();
        b.Status(r, {}, t0 + std::chrono::milliseconds(s.ms));
        std::set<std::string> leaves;
        for (const auto& [topic, payload] : c.sent) leaves.insert(topic.substr(std::string("p/00012345/").size()));
        EXPECT_EQ(leaves, s.published) << s.ms;
    }
}

TEST(MqttBridge, CommandsAreResolvedAsTheCommandLineNamesThemOrRefused) {
    const struct { std::string key, payload, name, time; } cases[] = {
        {"mode", "semi-auto", "semi-auto", ""}, {"mode", "auto", "auto", ""},  {"mode", "manual", "", ""},
        {"start", "90", "start", "1:30"},       {"stop", "0", "stop", "0:00"}, {"start", "1092", "start", "18:12"},
        {"start", "1093", "", ""},              {"start", "-1", "", ""},       {"stop", "2.5", "", ""},
        {"stop", "", "", ""},                   {"stop", "0:45", "stop", "0:45"}, {"clock_sync", "PRESS", "clock-sync", ""},
    };
    for (const auto& k : cases) {
        const cli::CommandCall call = cli::ResolveCommand({k.key, k.payload, ""});
        EXPECT_EQ(call.name, k.name) << k.key << " " << k.payload;
        EXPECT_EQ(call.time, k.time) << k.key << " " << k.payload;
        EXPECT_EQ(call.refusal.empty(), !k.name.empty()) << k.key << " " << k.payload;
    }
    EXPECT_EQ(cli::TopicId("SN 4/7#+"), "SN_4_7__");
    EXPECT_EQ(cli::TopicId("АБ-12"), "__-12");  // one '_' a letter, not a byte
}

TEST(MqttBridge, CommandsAreTakenOnlyWithTheOptionAndAtMostFourWait) {
    for (const bool allowed : {false, true}) {
        Recorder c;
        MqttBridge b(c, {"p", "ha", 5000ms, allowed}, {"7", 200, "0"});
        for (int i = 0; i < 5; ++i) b.Received("p/7/sms_test/set", "PRESS");
        int taken = 0;
        while (b.TakeCommand()) ++taken;
        EXPECT_EQ(taken, allowed ? 4 : 0);
        EXPECT_EQ(c.sent.size(), allowed ? 1u : 0u);  // the fifth refused on the result topic
        if (allowed) {
            EXPECT_EQ(json::parse(c.sent[0].second)["result"], "refused");
        }
        int commandEntities = 0;
        for (const auto& [topic, config] : b.DiscoveryConfigs()) commandEntities += config.contains("command_topic");
        EXPECT_EQ(commandEntities, allowed ? 5 : 0);
    }
}

// ---- the program, a broker, the simulated controller ----------------------------------------

int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), n);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    close(s);
    return ntohs(a.sin_port);
}

std::string Temp(const std::string& name) {
    return ::testing::TempDir() + "mqtt-" + std::to_string(getpid()) + "-" + name;
}

// A program in the background, its stderr in a file; killed at the end.
struct Background {
    Background(std::vector<std::string> args, const std::string& log) : log(log) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&fa, 2, 1);
        posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
    }
    ~Background() { End(SIGKILL); }
    int End(int signal) {
        if (pid <= 0) return -1;
        int status = 0;
        kill(pid, signal);
        waitpid(std::exchange(pid, 0), &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Log() const { return std::string(std::istreambuf_iterator<char>(std::ifstream(log).rdbuf()), {}); }
    pid_t pid = 0;
    std::string log;
};

// A client subscribed to everything: each topic's last payload, and how many came on each.
struct Client {
    explicit Client(int port) {
        mosquitto_lib_init();
        m = mosquitto_new(nullptr, true, this);
        mosquitto_message_callback_set(m, [](mosquitto*, void* self, const mosquitto_message* msg) {
            auto* c = static_cast<Client*>(self);
            c->last[msg->topic] = std::string(static_cast<const char*>(msg->payload), msg->payloadlen);
            ++c->count[msg->topic];
        });
        connected = mosquitto_connect(m, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS &&
                    mosquitto_subscribe(m, nullptr, "#", 0) == MOSQ_ERR_SUCCESS;
    }
    ~Client() { mosquitto_destroy(m), mosquitto_lib_cleanup(); }
    // Runs until `done`; false when it has not come in 30 s (a guard against a hang, not a timing).
    bool Until(const std::function<bool()>& done) {
        for (auto end = std::chrono::steady_clock::now() + 30s; !done(); mosquitto_loop(m, 50, 1))
            if (!connected || std::chrono::steady_clock::now() > end) return false;
        return true;
    }
    void Send(const std::string& topic, const std::string& payload) {
        mosquitto_publish(m, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, false);
    }
    int Configs() const {
        int n = 0;
        for (const auto& [t, p] : last) n += t.rfind("homeassistant/", 0) == 0 && !p.empty();
        return n;
    }
    mosquitto* m;
    bool connected = false;
    std::map<std::string, std::string> last;
    std::map<std::string, int> count;
};

struct Broker {
    explicit Broker(const std::string& extra = "") {
        std::ofstream(conf) << "listener " << port << " 127.0.0.1\nallow_anonymous " << (extra.empty() ? "true" : "false")
                            << "\npersistence false\n" << extra << "\n";
        Start();
    }
    void Start() {
        server = std::make_unique<Background>(std::vector<std::string>{"/usr/sbin/mosquitto", "-c", conf}, conf + ".log");
        for (int i = 0; i < 200 && !Client(port).connected; ++i) std::this_thread::sleep_for(50ms);
    }
    void Stop() { server->End(SIGTERM); }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port); }
    int port = FreePort();
    std::string conf = Temp(std::to_string(port) + ".conf");
    std::unique_ptr<Background> server;
};

struct Bench {
    std::unique_ptr<Background> Lumctl(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {LumctlPath(), "-p", path, "mqtt", "--broker", broker.Address()};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<Background>(args, Temp("lumctl.log"));
    }
    template <class F> auto Core(F f) {  // what f reads of the simulated controller
        decltype(f(std::declval<sim::ControllerCore&>())) v{};
        line.sim.WithController([&](sim::ControllerCore& c, sim::TimePoint) { v = f(c); });
        return v;
    }
    Broker broker;
    LinkedController line{Temp("line"), 100};  // stopped and started again behind the same path
    const std::string path = line.link;
    const std::string topic = "lumctl/00012345/";
};

// "a.b.c" for every leaf of an object.
std::set<std::string> Keys(const json& j, const std::string& at = "") {
    std::set<std::string> keys;
    for (const auto& [k, v] : j.items()) keys.merge(v.is_object() ? Keys(v, at + k + ".") : std::set{at + k});
    return keys;
}

TEST(LumctlMqtt, DiscoveryConfigsTheStateAsStatusJsonAndTheLastWill) {
    Bench s;
    const ProgramRun once = RunLumctl({"-p", s.path, "status", "--json"});
    ASSERT_EQ(once.code, 0) << once.err;
    const json status = json::parse(once.out);
    auto lumctl = s.Lumctl({"--min-interval", "0"});
    Client sub(s.broker.port);
    ASSERT_TRUE(sub.Until([&] {
        return sub.Configs() == 28 && sub.last.count(s.topic + "state") && sub.last[s.topic + "availability"] == "online";
    }))
        << lumctl->Log();
    std::set<std::string> ids;
    for (const auto& [topic, payload] : sub.last) {
        if (topic.rfind("homeassistant/", 0) != 0 || payload.empty()) continue;
        const json c = json::parse(payload);
        EXPECT_TRUE(ids.insert(c["unique_id"].get<std::string>()).second) << topic;
        EXPECT_EQ(c["device"], json::parse(R"({"identifiers": ["lum_00012345"], "name": "ЛУМ 00012345",
                                           "model": "ЛУМ-бензин v2.0", "serial_number": "00012345"})")) << topic;
        EXPECT_EQ(c["origin"]["sw_version"], LUM_VERSION);
        EXPECT_EQ(c["availability_topic"], s.topic + "availability");
        EXPECT_TRUE(sub.Until([&] { return sub.last.count(c["state_topic"]) > 0; })) << topic;
    }
    const struct { std::string path, unit, deviceClass, stateClass; } entities[] = {
        {"sensor/lum_00012345/phase_c", "V", "voltage", "measurement"},
        {"sensor/lum_00012345/ups", "V", "voltage", "measurement"},
        {"sensor/lum_00012345/temperature_4", "°C", "temperature", "measurement"},
        {"sensor/lum_00012345/signal_dbm", "dBm", "signal_strength", "measurement"},
        {"sensor/lum_00012345/motor_minutes", "min", "duration", "total_increasing"},
        {"sensor/lum_00012345/state_text", "", "", ""},
        {"binary_sensor/lum_00012345/thermo_sensor", "", "", ""},
    };
    for (const auto& e : entities) {
        const json c = json::parse(sub.last["homeassistant/" + e.path + "/config"]);
        EXPECT_EQ(c.value("unit_of_measurement", ""), e.unit) << e.path;
        EXPECT_EQ(c.value("device_class", ""), e.deviceClass) << e.path;
        EXPECT_EQ(c.value("state_class", ""), e.stateClass) << e.path;
        EXPECT_EQ(c["unique_id"], "lum_00012345_" + e.path.substr(e.path.rfind('/') + 1));
    }
    // The state: status --json's object; the values the simulator does not vary are equal.
    const json state = json::parse(sub.last[s.topic + "state"]);
    EXPECT_EQ(Keys(state), Keys(status));
    for (const char* key : {"model", "model_name", "mode", "state_code", "state", "motor_minutes", "flags"})
        EXPECT_EQ(state[key].dump(), status[key].dump()) << key;
    EXPECT_EQ(state["gsm"]["registration"], status["gsm"]["registration"]);
    lumctl->End(SIGKILL);
    EXPECT_TRUE(sub.Until([&] { return sub.last[s.topic + "availability"] == "offline"; }));
}

TEST(LumctlMqtt, CommandsOnlyWithAllowCommandsAndTheyReachTheController) {
    Bench s;
    auto semi = [&] { return s.Core([](sim::ControllerCore& c) { return c.SemiAutomatic(); }); };
    auto frames = [&] { return s.Core([](sim::ControllerCore& c) { return c.Stats().statusFrames; }); };
    Client sub(s.broker.port);
    {
        auto lumctl = s.Lumctl();
        ASSERT_TRUE(sub.Until([&] { return sub.last[s.topic + "availability"] == "online"; })) << lumctl->Log();
        sub.Send(s.topic + "mode/set", "semi-auto");
        const int seen = frames();
        ASSERT_TRUE(sub.Until([&] { return frames() >= seen + 10; }));
        EXPECT_FALSE(semi());
        EXPECT_EQ(sub.count[s.topic + "command/result"], 0);
        EXPECT_EQ(sub.Configs(), 28);  // no command entities
    }
    ASSERT_TRUE(sub.Until([&] { return sub.last[s.topic + "availability"] == "offline"; }));
    auto lumctl = s.Lumctl({"--allow-commands"});
    ASSERT_TRUE(sub.Until([&] { return sub.last[s.topic + "availability"] == "online"; })) << lumctl->Log();
    const struct { std::string leaf, payload, result; } cases[] = {
        {"mode", "manual", "refused"}, {"mode", "semi-auto", "sent"}, {"start", "2000", "refused"}, {"start", "0:30", "sent"},
    };
    for (const auto& k : cases) {
        const int results = sub.count[s.topic + "command/result"];
        sub.Send(s.topic + k.leaf + "/set", k.payload);
        ASSERT_TRUE(sub.Until([&] { return sub.count[s.topic + "command/result"] > results; })) << lumctl->Log();
        const json r = json::parse(sub.last[s.topic + "command/result"]);
        EXPECT_EQ(r["result"], k.result) << k.payload << " " << r;
        if (k.payload == "semi-auto") {
            EXPECT_EQ(r["changed"]["mode"]["after"], "semi-auto") << r;
        }
    }
    EXPECT_TRUE(semi());
    EXPECT_NE(s.Core([](sim::ControllerCore& c) { return c.WorkMode(); }), 0);  // started: off the mains
    EXPECT_NE(lumctl->Log().find("тема " + s.topic + "mode/set"), std::string::npos) << lumctl->Log();
}

TEST(LumctlMqtt, ABrokerRestartAndALostPortAreSurvivedTheLossSaidAsOffline) {
    Bench s;
    auto lumctl = s.Lumctl({"--allow-commands"});
    {
        Client sub(s.broker.port);
        ASSERT_TRUE(sub.Until([&] { return sub.last[s.topic + "availability"] == "online"; })) << lumctl->Log();
    }
    s.broker.Stop();
    s.broker.Start();  // nothing retained: all of it must come again
    Client sub(s.broker.port);
    ASSERT_TRUE(sub.Until([&] {
        return sub.Configs() == 33 && sub.last.count(s.topic + "state") && sub.last[s.topic + "availability"] == "online";
    })) << lumctl->Log();
    auto offline = [&] { return sub.last[s.topic + "availability"] == "offline"; };
    s.line.Stop();
    ASSERT_TRUE(sub.Until(offline)) << lumctl->Log();
    const int states = sub.count[s.topic + "state"];
    sub.Send(s.topic + "sms_test/set", "PRESS");  // refused for the lost port, not waited out
    const std::string refused = "порт " + s.path + " потерян, ждем его возвращения";  // answered at once
    ASSERT_TRUE(sub.Until([&] { return sub.last[s.topic + "command/result"].find(refused) != std::string::npos; }))
        << lumctl->Log();
    EXPECT_EQ(sub.count[s.topic + "state"], states);  // nothing of the old record meanwhile
    s.line.Start();
    EXPECT_TRUE(sub.Until([&] { return !offline() && sub.count[s.topic + "state"] > states; })) << lumctl->Log();
    s.line.Stop();
    ASSERT_TRUE(sub.Until(offline));
    EXPECT_EQ(lumctl->End(SIGINT), 0) << lumctl->Log();  // Ctrl-C between the attempts
}

TEST(LumctlMqtt, BrokerErrorsAtStartEndWithAClearMessage) {
    Bench s;
    const std::string passwords = Temp("passwords"), wrong = Temp("wrong"), right = Temp("right");
    ASSERT_EQ(std::system(("mosquitto_passwd -b -c " + passwords + " user secret").c_str()), 0);
    std::ofstream(wrong) << "secrets\n";
    std::ofstream(right) << "secret\n";
    Broker locked("password_file " + passwords);
    const std::string free = "127.0.0.1:" + std::to_string(FreePort());
    const struct { std::vector<std::string> args; int code; std::string says; } cases[] = {
        {{"--broker", free}, 1, "Соединение отклонено"},
        {{"--broker", locked.Address()}, 1, "нет доступа"},
        {{"--broker", locked.Address(), "--username", "user", "--password-file", wrong}, 1, "нет доступа"},
        {{"--broker", s.broker.Address(), "--tls-ca", "/etc/ssl/certs/ca-certificates.crt"}, 1, "ошибка TLS"},
        {{"--broker", s.broker.Address(), "--tls-ca", Temp("none")}, 2, "--tls-ca"},
        {{"--broker", "127.0.0.1:65536"}, 2, "порт"},
        {{"--broker", locked.Address(), "--password-file", right}, 2, "--username"},
        {{"--broker", locked.Address(), "--username", "user", "--password-file", right}, 0, "темы lumctl/00012345/#"},
    };
    for (const auto& k : cases) {
        std::vector<std::string> args = {"-p", s.path, "mqtt"};
        args.insert(args.end(), k.args.begin(), k.args.end());
        RunOptions o;
        o.interruptWhen = [](const std::string&, const std::string& err) { return err.find("темы") != std::string::npos; };
        const ProgramRun r = RunLumctl(args, o);
        EXPECT_EQ(r.code, k.code) << k.args[1] << r.err;
        EXPECT_NE(r.err.find(k.says), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace lum::test
