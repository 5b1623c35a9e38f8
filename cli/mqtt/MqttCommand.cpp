// lumctl mqtt: the controller's records on a broker, Home Assistant's discovery configs for
// them, and, with --allow-commands, the one-way service commands from the broker.
#include "cli/MqttCommand.h"

#include <fstream>
#include <memory>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Errors.h"
#include "cli/Platform.h"
#include "cli/mqtt/MosquittoClient.h"
#include "cli/mqtt/MqttBridge.h"
#include "common/Cp1251.h"
#include "lum_version.h"
#include "params/Transfer.h"
#include "terminal/Outcome.h"

namespace lum::cli {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct MqttArguments {
    std::string broker, username, passwordFile, tlsCa, clientId;
    std::string topic = "lumctl", discovery = "homeassistant";
    bool allowCommands = false;
    int minInterval = 5;  // seconds
};

// HOST, HOST:PORT, [IPv6]:PORT or a bare IPv6 address.
void SplitBroker(const std::string& text, MqttConnectOptions& o) {
    std::string host = text, port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':'))
            throw CliError(ExitBadArguments, "--broker «" + text + "»: нужно ХОСТ[:ПОРТ]");
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) port = text.substr(close + 2);
    } else if (const auto colon = text.find(':'); colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty()) throw CliError(ExitBadArguments, "--broker «" + text + "»: нет имени брокера");
    o.host = host;
    if (port.empty()) return;
    const bool digits = port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(port) < 1 || std::stoi(port) > 65535)
        throw CliError(ExitBadArguments, "--broker «" + text + "»: порт должен быть числом 1…65535");
    o.port = std::stoi(port);
}

// What the arguments give, checked before the port is opened.
MqttConnectOptions ConnectOptions(const MqttArguments& a) {
    MqttConnectOptions o;
    o.port = a.tlsCa.empty() ? 1883 : 8883;
    SplitBroker(a.broker, o);
    o.username = a.username;
    o.tlsCaFile = a.tlsCa;
    o.clientId = a.clientId;
    if (!a.passwordFile.empty()) {
        std::ifstream in(a.passwordFile, std::ios::binary);
        if (!in || !std::getline(in, o.password))
            throw CliError(ExitBadArguments, "--password-file " + a.passwordFile + ": файл не читается или пуст");
        if (!o.password.empty() && o.password.back() == '\r') o.password.pop_back();
    }
    for (const auto& [name, value] : {std::pair{"--topic", a.topic}, {"--discovery-prefix", a.discovery}}) {
        if (value.find_first_of("+#") != std::string::npos || (value.empty() && std::string(name) == "--topic"))
            throw CliError(ExitBadArguments, std::string(name) + " «" + value + "»: тема без + и #, не пустая");
    }
    return o;
}

// The serial number from the configuration memory, read until two copies agree.
std::string ReadSerialNumber(Session& s) {
    auto op = s.Link().Tx.Begin();
    OperationBlockLink link(op);
    std::vector<std::uint8_t> bytes(kSerialNumberSize);
    ReadResult result;
    result.Ok = ReadBlockAgreed(link, kSerialNumberAddress, kSerialNumberSize, bytes, result.Failure);
    op.Release();
    s.Check();
    if (!result.Ok) {
        const Outcome o = ReadOutcome(result);
        throw CliError(ExitCodeOf(o.kind), "серийный номер не прочитан: " + o.text);
    }
    return Cp1251ToUtf8(std::string(bytes.begin(), bytes.end()));
}

// One command from the broker: refused, or sent and answered with what the next record shows.
void RunCommand(Context& ctx, Session& s, MqttBridge& bridge, const IMqttClient& client, const ReceivedCommand& c,
                const std::function<void(const std::string&)>& log) {
    const std::string what = "команда " + c.key + " «" + c.payload + "» (брокер " + client.BrokerName() + ", тема " +
                             c.topic + "): ";
    const CommandCall call = ResolveCommand(c);
    auto refuse = [&](const std::string& result, const std::string& why) {
        log(what + (result == "refused" ? "отклонена: " : "не отправлена: ") + why);
        bridge.PublishResult(c, result, why);
    };
    if (!call.refusal.empty()) return refuse("refused", call.refusal);
    if (s.Link().Reconnect.Waiting())
        return refuse("failed", "порт " + s.Link().Reconnect.PortName() + " потерян, ждем его возвращения");
    PreparedCommand command;
    try {
        command = PrepareService(call.name, call.time);
    } catch (const CliError& e) {
        return refuse("refused", e.what());
    }
    const StatusSnapshot before = Snapshot(*s.LastStatus(), s.Texts());
    try {
        SendPrepared(ctx, command);
    } catch (const CliError& e) {
        if (s.PortFailed()) throw;
        return refuse("failed", e.what());
    }
    std::optional<StatusSnapshot> after;
    try {
        after = Snapshot(s.WaitForStatus(std::chrono::milliseconds(ctx.Options().statusTimeout), true), s.Texts());
    } catch (const CliError&) {
        if (s.PortFailed()) throw;  // no record after it (or Ctrl-C): the result says nothing changed
    }
    const std::string message = "Команда отправлена: " + command.caption + ".";
    const nlohmann::json said = bridge.PublishResult(c, "sent", message, &before, after ? &*after : nullptr);
    log(what + "отправлена" + (said.contains("changed") ? "; после нее: " + said["changed"].dump() : ""));
}

int CmdMqtt(Context& ctx, const MqttArguments& a) {
    MqttConnectOptions connect = ConnectOptions(a);
    Session& s = ctx.Open();
    s.WaitForStatus(std::chrono::milliseconds(ctx.Options().statusTimeout));
    const std::string serial = ReadSerialNumber(s);
    const DeviceInfo device{serial, s.LastStatus()->ModelCode, LUM_VERSION};
    const BridgeOptions options{a.topic, a.discovery, std::chrono::seconds(a.minInterval), a.allowCommands};
    auto log = [&ctx](const std::string& line) { ctx.Err() << "lumctl mqtt: " << line << "\n" << std::flush; };

    connect.willTopic = DeviceTopic(options, serial, "availability");
    if (connect.clientId.empty()) connect.clientId = "lumctl-" + TopicId(serial);
    MosquittoClient client(connect, log);
    MqttBridge bridge(client, options, device);
    client.OnConnected = [&] { bridge.Connected(Clock::now()); };
    client.OnMessage = [&](const std::string& topic, const std::string& payload) { bridge.Received(topic, payload); };
    bridge.Connected(Clock::now());
    bridge.Status(*s.LastStatus(), s.Texts(), Clock::now());
    if (!ctx.Options().quiet)
        log("брокер " + client.BrokerName() + ", темы " + DeviceTopic(options, serial, "#") +
            (a.allowCommands ? ", команды принимаются" : ", без команд"));
    s.OnStatus = [&](const StatusRecord& r) {
        if (bridge.PortIsLost() && !ctx.Options().quiet) log("записи снова идут");
        bridge.Status(r, s.Texts(), Clock::now());
    };
    // A lost port is opened again as status --follow does, "offline" said meanwhile.
    FollowOverLosses(ctx, s, [&](const std::string&) { bridge.PortLost(); });
    auto stop = [&] {
        s.OnStatus = nullptr;
        bridge.Offline();
        client.Disconnect();
    };
    try {
        while (!Interrupted()) {
            s.Pump(100ms);
            client.Poll();
            bridge.Tick(Clock::now());
            while (auto c = bridge.TakeCommand()) RunCommand(ctx, s, bridge, client, *c, log);
        }
    } catch (const CliError&) {
        stop();  // the port failed otherwise than lost: "offline" said, then the error
        throw;
    }
    stop();
    return ExitDone;
}

}  // namespace

OptionalCommand AddMqttCommand(const CommandMaker& make) {
    auto a = std::make_shared<MqttArguments>();
    CLI::App* sub = make.command("mqtt",
                                 "записи состояния на брокер MQTT, с обнаружением Home Assistant; команды; "
                                 "потерянный порт открывается снова (availability: offline до новой записи)",
                                 "lumctl -p COM3 mqtt --broker 192.168.1.10 --allow-commands");
    sub->add_option("--broker", a->broker, "брокер: ХОСТ[:ПОРТ] (порт 1883, с --tls-ca 8883)")
        ->required()
        ->type_name("HOST[:PORT]");
    auto* user = sub->add_option("--username", a->username, "имя пользователя на брокере")->type_name("USER");
    sub->add_option("--password-file", a->passwordFile, "пароль: первая строка файла")->needs(user)->type_name("FILE");
    sub->add_option("--tls-ca", a->tlsCa, "TLS: сертификат центра, которым проверяется брокер")->type_name("FILE");
    sub->add_option("--topic", a->topic, "начало тем: PREFIX/<серийный номер>/... (lumctl)")->type_name("PREFIX");
    sub->add_option("--discovery-prefix", a->discovery, "темы обнаружения Home Assistant (homeassistant; «» — без них)")
        ->type_name("PREFIX");
    sub->add_option("--client-id", a->clientId, "идентификатор клиента (lumctl-<серийный номер>)")->type_name("ID");
    sub->add_flag("--allow-commands", a->allowCommands,
                  "принимать команды с брокера: режим, старт и стоп ГУ на время, часы, тест SMS");
    sub->add_option("--min-interval", a->minInterval,
                    "каждое значение не чаще раза в N с (5); режим, состояние и индикаторы сразу")
        ->check(make.integerIn(0, 86400))
        ->type_name("SEC");
    return {sub, [a](Context& ctx) { return CmdMqtt(ctx, *a); }};
}

}  // namespace lum::cli
