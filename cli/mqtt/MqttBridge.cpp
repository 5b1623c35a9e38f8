#include "cli/mqtt/MqttBridge.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "cli/Json.h"
#include "cli/StatusOutput.h"

namespace lum::cli {

namespace {

using Json = nlohmann::json;

// One line, no newline at the end: a message is one JSON text.
std::string Payload(const Json& j) {
    std::string text = JsonText(j, -1);
    text.pop_back();
    return text;
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

// The commands: key (topic level), Home Assistant component, entity name.
struct CommandSpec {
    const char* key;
    const char* component;
    const char* name;
};
constexpr CommandSpec kCommands[] = {
    {"mode", "select", "Режим Авто / Полу-авто"},
    {"start", "number", "Старт ГУ на время"},
    {"stop", "number", "Стоп ГУ на время"},
    {"clock_sync", "button", "Синхронизация системного времени"},
    {"sms_test", "button", "Тест SMS"},
};

// The longest run or wait time a start or stop takes, in whole minutes (65535 s).
constexpr int kMaxGuMinutes = 1092;

}  // namespace

std::string TopicId(const std::string& serialNumber) {
    std::string id;
    for (const char c : serialNumber) {
        const bool keep = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
                          c == '_';
        if (keep) {
            id += c;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            id += '_';  // one '_' a character, not a byte
        }
    }
    return id.empty() ? "_" : id;
}

CommandCall ResolveCommand(const ReceivedCommand& command) {
    const std::string& p = command.payload;
    if (command.key == "mode") {
        if (p == "auto" || p == "semi-auto") return {p, {}, {}};
        return {{}, {}, "режим «" + p + "» неизвестен: auto или semi-auto"};
    }
    if (command.key == "clock_sync") return {"clock-sync", {}, {}};
    if (command.key == "sms_test") return {"sms-test", {}, {}};
    if (command.key == "start" || command.key == "stop") {
        if (p.find(':') != std::string::npos) return {command.key, p, {}};  // H:MM as on the command line
        char* end = nullptr;
        const double minutes = std::strtod(p.c_str(), &end);
        if (p.empty() || *end != '\0' || minutes != std::floor(minutes) || minutes < 0 || minutes > kMaxGuMinutes)
            return {{}, {}, "«" + p + "»: нужно время в минутах 0…" + std::to_string(kMaxGuMinutes) + " или Ч:ММ"};
        const int m = static_cast<int>(minutes);
        char time[16];
        std::snprintf(time, sizeof time, "%d:%02d", m / 60, m % 60);
        return {command.key, time, {}};
    }
    return {{}, {}, "нет такой команды: " + command.key};
}

StatusSnapshot Snapshot(const StatusRecord& r, const StatusTexts& texts) {
    StatusSnapshot s;
    s.values["mode"] = ModeKey(r);
    s.values["state_code"] = r.WORK_MODE;
    s.values["state"] = texts.State;
    for (int i = 0; i < kFlagLampCount; ++i) s.values[kFlagKeys[i]] = r.Flags[i];
    return s;
}

MqttBridge::MqttBridge(IMqttClient& client, BridgeOptions options, DeviceInfo device)
    : client_(client), options_(std::move(options)), device_(std::move(device)), id_(TopicId(device_.serialNumber)) {
    using R = const StatusRecord&;
    using T = const StatusTexts&;
    auto sensor = [&](const char* key, const char* name, const char* unit, const char* deviceClass,
                      const char* stateClass, std::function<std::string(R, T)> text) {
        values_.push_back({key, "sensor", name, unit, deviceClass, stateClass, std::move(text), {}, {}, {}, {}});
    };
    auto volts = [&](const char* key, const char* name, int StatusRecord::*field) {
        sensor(key, name, "V", "voltage", "measurement", [field](R r, T) { return std::to_string(r.*field); });
    };
    volts("phase_a", "Фаза А", &StatusRecord::VoltageA);
    volts("phase_b", "Фаза B", &StatusRecord::VoltageB);
    volts("phase_c", "Фаза С", &StatusRecord::VoltageC);
    volts("generator", "Фаза ГУ", &StatusRecord::VoltageGU);
    sensor("battery", "Напряжение АКБ", "V", "voltage", "measurement", [](R r, T) { return Number(r.AccVolts()); });
    sensor("ups", "Напряжение ИБП", "V", "voltage", "measurement", [](R r, T) { return Number(r.UpsVolts()); });
    const std::int8_t StatusRecord::*temperatures[] = {&StatusRecord::Temperature1, &StatusRecord::Temperature2,
                                                       &StatusRecord::Temperature3, &StatusRecord::Temperature4};
    for (int i = 0; i < 4; ++i) {
        static const char* keys[] = {"temperature_1", "temperature_2", "temperature_3", "temperature_4"};
        static const char* names[] = {"Температура 1", "Температура 2", "Температура 3", "Температура 4"};
        const auto field = temperatures[i];
        sensor(keys[i], names[i], "°C", "temperature", "measurement", [field](R r, T) { return std::to_string(r.*field); });
    }
    sensor("signal_dbm", "Уровень GSM сигнала", "dBm", "signal_strength", "measurement",
           [](R r, T) { return std::to_string(r.SignalDbm()); });
    sensor("motor_minutes", "Счетчик моточасов", "min", "duration", "total_increasing",
           [](R r, T) { return std::to_string(r.MotorMinutes); });
    sensor("minutes_to_service", "До проведения ТО", "min", "duration", "measurement",
           [](R r, T) { return std::to_string(r.MinutesToService); });
    sensor("state_text", "Режим работы устройства", "", "", "", [](R, T t) { return t.State; });
    values_.back().code = [](R r) { return int(r.WORK_MODE); };
    sensor("mode", "Режим", "", "enum", "", [](R r, T) { return ModeKey(r); });
    values_.back().code = [](R r) { return r.Mode * 2 + (r.SemiAuto ? 1 : 0); };
    for (int i = 0; i < kFlagLampCount; ++i) {
        values_.push_back({kFlagKeys[i], "binary_sensor", kFlagLamps[i].caption, "", "", "",
                           [i](R r, T) { return std::string(r.Flags[i] ? "ON" : "OFF"); },
                           [i](R r) { return r.Flags[i] ? 1 : 0; }, {}, {}, {}});
    }
}

std::string DeviceTopic(const BridgeOptions& options, const std::string& serialNumber, const std::string& leaf) {
    return options.topicPrefix + "/" + TopicId(serialNumber) + "/" + leaf;
}

std::string MqttBridge::Topic(const std::string& leaf) const {
    return DeviceTopic(options_, device_.serialNumber, leaf);
}

void MqttBridge::Publish(const std::string& topic, const std::string& payload, bool retain) {
    if (client_.Publish(topic, payload, retain)) ++published_;
}

Json MqttBridge::Entity(const std::string& key, const std::string& name) const {
    const std::string uid = "lum_" + id_ + "_" + key;
    return {{"name", name},
            {"unique_id", uid},
            {"object_id", uid},
            {"availability_topic", AvailabilityTopic()},
            {"device",
             {{"identifiers", {"lum_" + id_}},
              {"name", "ЛУМ " + device_.serialNumber},
              {"model", ModelName(device_.model)},
              {"serial_number", device_.serialNumber}}},
            // Who publishes the entity: lumctl and its version.
            {"origin", {{"name", "lumctl"}, {"sw_version", device_.version}}}};
}

std::vector<std::pair<std::string, Json>> MqttBridge::DiscoveryConfigs() const {
    std::vector<std::pair<std::string, Json>> configs;
    const std::string base = options_.discoveryPrefix + "/";
    const std::string node = "/lum_" + id_ + "/";
    for (const Value& v : values_) {
        Json c = Entity(v.key, v.name);
        c["state_topic"] = Topic(v.key);
        if (!v.unit.empty()) c["unit_of_measurement"] = v.unit;
        if (!v.deviceClass.empty()) c["device_class"] = v.deviceClass;
        if (!v.stateClass.empty()) c["state_class"] = v.stateClass;
        if (v.key == "mode") c["options"] = {"auto", "semi-auto", "manual", "unknown"};
        configs.emplace_back(base + v.component + node + v.key + "/config", std::move(c));
    }
    for (const CommandSpec& k : kCommands) {
        Json c = options_.allowCommands ? Entity(k.key, k.name) : Json();
        if (options_.allowCommands) {
            c["command_topic"] = Topic(std::string(k.key) + "/set");
            if (std::string(k.component) == "select") {
                c["state_topic"] = Topic("mode");
                c["options"] = {"auto", "semi-auto"};
            } else if (std::string(k.component) == "number") {
                c.update({{"min", 0}, {"max", kMaxGuMinutes}, {"step", 1}, {"mode", "box"},
                          {"unit_of_measurement", "min"}});
            }
        }
        // Without commands the configs are published empty: an entity left from a run with
        // commands disappears.
        configs.emplace_back(base + k.component + node + k.key + "/config", std::move(c));
    }
    return configs;
}

void MqttBridge::Connected(Clock::time_point now) {
    // Subscribed first: once "online" is seen, commands are heard.
    if (options_.allowCommands) {
        for (const CommandSpec& k : kCommands) client_.Subscribe(Topic(std::string(k.key) + "/set"));
    }
    Publish(AvailabilityTopic(), portLost_ ? "offline" : "online", true);
    if (!options_.discoveryPrefix.empty()) {
        for (const auto& [topic, config] : DiscoveryConfigs())
            Publish(topic, config.is_null() ? std::string() : Payload(config), true);
    }
    // A new session: whatever was published before may be gone (a broker without persistence).
    for (Value& v : values_) v.sentAt.reset(), v.sentCode.reset(), v.sent.clear();
    stateSentCodes_.reset();
    PublishDue(now, true);
}

void MqttBridge::Status(const StatusRecord& r, const StatusTexts& texts, Clock::time_point now) {
    last_ = r;
    texts_ = texts;
    if (std::exchange(portLost_, false)) Publish(AvailabilityTopic(), "online", true);
    PublishDue(now, false);
}

void MqttBridge::Tick(Clock::time_point now) {
    PublishDue(now, false);
}

void MqttBridge::PublishDue(Clock::time_point now, bool all) {
    if (!last_ || portLost_ || !client_.Connected()) return;
    const StatusRecord& r = *last_;
    auto due = [&](const std::optional<Clock::time_point>& at) {
        return all || !at || now - *at >= options_.minInterval;
    };
    std::vector<int> codes;
    for (Value& v : values_) {
        const std::string text = v.text(r, texts_);
        const std::optional<int> code = v.code ? std::optional<int>(v.code(r)) : std::nullopt;
        if (code) codes.push_back(*code);
        if (text == v.sent && v.sentAt && code == v.sentCode) continue;
        if (!(due(v.sentAt) || (code && code != v.sentCode))) continue;
        Publish(Topic(v.key), text, true);
        v.sent = text, v.sentCode = code, v.sentAt = now;
    }
    // The state message: at once when a state, mode or flag code changed, else at most once
    // per interval when the record differs from the one published last.
    std::string state = Payload(StatusJson(r, texts_));
    if (stateSentCodes_ != codes || (state != stateSent_ && due(stateSentAt_)) || all) {
        Publish(Topic("state"), state, true);
        stateSentCodes_ = codes, stateSentAt_ = now, stateSent_ = std::move(state);
    }
}

void MqttBridge::Offline() {
    Publish(AvailabilityTopic(), "offline", true);
}

void MqttBridge::PortLost() {
    portLost_ = true;
    Publish(AvailabilityTopic(), "offline", true);
}

void MqttBridge::Received(const std::string& topic, const std::string& payload) {
    if (!options_.allowCommands) return;
    for (const CommandSpec& k : kCommands) {
        if (topic != Topic(std::string(k.key) + "/set")) continue;
        ReceivedCommand command{k.key, payload, topic};
        if (waiting_.size() >= kMaxWaitingCommands) {
            PublishResult(command, "refused", "занято: ждут еще " + std::to_string(waiting_.size()) + " команды");
            return;
        }
        waiting_.push_back(std::move(command));
        return;
    }
}

std::optional<ReceivedCommand> MqttBridge::TakeCommand() {
    if (waiting_.empty()) return std::nullopt;
    ReceivedCommand c = std::move(waiting_.front());
    waiting_.pop_front();
    return c;
}

Json MqttBridge::PublishResult(const ReceivedCommand& command, const std::string& result, const std::string& message,
                               const StatusSnapshot* before, const StatusSnapshot* after) {
    Json j = {{"command", command.key}, {"payload", command.payload}, {"result", result}, {"message", message}};
    if (before && after) {
        Json changed = Json::object();
        for (const auto& [key, was] : before->values) {
            const auto now = after->values.find(key);
            if (now != after->values.end() && now->second != was)
                changed[key] = {{"before", was}, {"after", now->second}};
        }
        j["changed"] = changed;
    }
    Publish(Topic("command/result"), Payload(j), false);
    return j;
}

}  // namespace lum::cli
