#pragma once
// The controller on an MQTT broker: what lumctl mqtt publishes and what it takes in,
// without the network (IMqttClient carries it).
//
// Topics, under PREFIX/<id> (id: the serial number, reduced to letters, digits, '-' and '_'):
//   state          the whole record as `status --json` prints it, retained
//   availability   "online" / "offline" (the broker's last will; also while the serial port
//                  is lost, "online" again with the first record after it), retained
//   <value>        each value of the record on its own (phase_a ... state_text, mode ...
//                  three_phase), retained;
//                  Home Assistant's entities read these
//   <command>/set  with allowCommands only: mode, start, stop, clock_sync, sms_test
//   command/result what became of each command received (JSON, not retained)
// and one Home Assistant discovery config (retained) per value and per command under
// DISCOVERY/<component>/lum_<id>/<key>/config.
//
// Rate limit: a value is published when it differs from what was published last, at most
// once per minInterval; the state text, the mode and the flags go at once when their code
// changes. The state message follows the same rule (at once when the state code, the mode
// or a flag changed). Nothing is buffered while the broker is away: after a reconnection
// everything of the last record is published anew. While the port is lost nothing of the last
// record goes out: its values wait for the next record.
//
// Threads: main thread only (as IMqttClient).
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/Session.h"
#include "cli/mqtt/MqttClient.h"
#include "telemetry/StatusRecord.h"

namespace lum::cli {

struct BridgeOptions {
    std::string topicPrefix = "lumctl";
    std::string discoveryPrefix = "homeassistant";  // "": no discovery configs
    std::chrono::milliseconds minInterval{5000};
    bool allowCommands = false;
};

struct DeviceInfo {
    std::string serialNumber;  // as the controller holds it, in UTF-8
    std::uint8_t model = 0;
    std::string version;       // lumctl's own
};

// The serial number as a topic level and id: letters and digits of ASCII, '-' and '_' kept,
// every other character '_'.
std::string TopicId(const std::string& serialNumber);
// PREFIX/<id>/leaf.
std::string DeviceTopic(const BridgeOptions& options, const std::string& serialNumber, const std::string& leaf);

// A command received: which one, its payload and where it came in.
struct ReceivedCommand {
    std::string key;  // "mode", "start", "stop", "clock_sync", "sms_test"
    std::string payload;
    std::string topic;
};

// What a received command asks lumctl to do: a service command as the command line names it
// ("semi-auto", "start" with "1:30"), or a refusal saying why.
struct CommandCall {
    std::string name, time;
    std::string refusal;  // not empty: refused
};
CommandCall ResolveCommand(const ReceivedCommand& command);

// The record's values a command result compares, before and after.
struct StatusSnapshot {
    std::map<std::string, nlohmann::json> values;
};
StatusSnapshot Snapshot(const StatusRecord& r, const StatusTexts& texts);

class MqttBridge {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxWaitingCommands = 4;

    MqttBridge(IMqttClient& client, BridgeOptions options, DeviceInfo device);

    std::string Topic(const std::string& leaf) const;  // PREFIX/<id>/leaf
    std::string AvailabilityTopic() const { return Topic("availability"); }

    // The client has (re)connected: availability, discovery, subscriptions, the last record.
    void Connected(Clock::time_point now);
    void Status(const StatusRecord& r, const StatusTexts& texts, Clock::time_point now);
    // Publishes what the rate limit held back and whose time has come.
    void Tick(Clock::time_point now);
    // "offline", before a clean stop.
    void Offline();
    // The serial port is lost: "offline" until the next record.
    void PortLost();
    bool PortIsLost() const { return portLost_; }
    // A message from the broker; commands wait (at most kMaxWaitingCommands, more are refused).
    void Received(const std::string& topic, const std::string& payload);
    std::optional<ReceivedCommand> TakeCommand();
    // The result topic's message: "sent", "refused" or "failed", the message text, and for a
    // sent command the values that changed between `before` and `after` (the next record);
    // returns what it published.
    nlohmann::json PublishResult(const ReceivedCommand& command, const std::string& result, const std::string& message,
                       const StatusSnapshot* before = nullptr, const StatusSnapshot* after = nullptr);

    // Every discovery config: topic and payload (for the log and the tests).
    std::vector<std::pair<std::string, nlohmann::json>> DiscoveryConfigs() const;
    std::uint64_t MessagesPublished() const { return published_; }

  private:
    struct Value {
        std::string key, component, name, unit, deviceClass, stateClass;
        std::function<std::string(const StatusRecord&, const StatusTexts&)> text;
        std::function<int(const StatusRecord&)> code;  // set: published at once when it changes
        std::string sent;                              // last published
        std::optional<int> sentCode;
        std::optional<Clock::time_point> sentAt;
    };
    void Publish(const std::string& topic, const std::string& payload, bool retain);
    void PublishDue(Clock::time_point now, bool all);
    nlohmann::json Entity(const std::string& key, const std::string& name) const;

    IMqttClient& client_;
    BridgeOptions options_;
    DeviceInfo device_;
    std::string id_;
    std::vector<Value> values_;
    std::optional<StatusRecord> last_;
    StatusTexts texts_;
    std::optional<std::vector<int>> stateSentCodes_;
    std::string stateSent_;
    std::optional<Clock::time_point> stateSentAt_;
    std::deque<ReceivedCommand> waiting_;
    std::uint64_t published_ = 0;
    bool portLost_ = false;
};

}  // namespace lum::cli
