#pragma once
// The little lumctl needs of an MQTT client: publish, subscribe, and hear of connections and
// messages. MqttBridge speaks only to this interface (tests give it a recording fake);
// MosquittoClient is the real one.
//
// Threads: one thread (lumctl's main thread) calls everything; the callbacks run on it,
// from inside the client's own Poll.
#include <functional>
#include <string>

namespace lum::cli {

class IMqttClient {
  public:
    virtual ~IMqttClient() = default;
    // false when not connected to the broker: nothing is queued for later.
    virtual bool Publish(const std::string& topic, const std::string& payload, bool retain) = 0;
    virtual bool Subscribe(const std::string& topic) = 0;
    virtual bool Connected() const = 0;
    // "127.0.0.1:1883": where received commands come from, for the log.
    virtual std::string BrokerName() const = 0;

    // After each connection to the broker (the first and every reconnection): a fresh
    // session, so subscriptions and retained messages are made anew here.
    std::function<void()> OnConnected;
    std::function<void(const std::string& topic, const std::string& payload)> OnMessage;
};

}  // namespace lum::cli
