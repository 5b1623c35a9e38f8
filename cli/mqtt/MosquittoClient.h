#pragma once
// IMqttClient on libmosquitto, driven from lumctl's loop (no thread of its own): Poll does
// the network work and runs the callbacks.
//
//   MosquittoClient c(options);   // CliError(1) when the broker refuses, the password is
//                                 // wrong or TLS fails; CliError(2) for an unreadable file
//   c.Poll();                     // often: keep-alive, messages, reconnection
//
// A connection lost later is retried by Poll with a growing pause (1 s, doubling, at most
// kMaxRetryPause); each loss and each reconnection is said on `log`.
//
// Threads: main thread only (the one that made it).
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "cli/mqtt/MqttClient.h"

struct mosquitto;

namespace lum::cli {

struct MqttConnectOptions {
    std::string host = "localhost";
    int port = 1883;
    std::string username, password;  // password empty: none
    std::string tlsCaFile;           // set: TLS, the broker's certificate checked against it
    std::string clientId;
    std::string willTopic;           // "offline" retained there when lumctl goes without a word
    std::chrono::seconds keepAlive{30};
};

class MosquittoClient : public IMqttClient {
  public:
    static constexpr std::chrono::seconds kMaxRetryPause{60};
    // How long the first connection may take until the broker has answered.
    static constexpr std::chrono::seconds kConnectTimeout{10};

    MosquittoClient(MqttConnectOptions options, std::function<void(const std::string&)> log);
    ~MosquittoClient() override;
    MosquittoClient(const MosquittoClient&) = delete;
    MosquittoClient& operator=(const MosquittoClient&) = delete;

    bool Publish(const std::string& topic, const std::string& payload, bool retain) override;
    bool Subscribe(const std::string& topic) override;
    bool Connected() const override { return connected_; }
    std::string BrokerName() const override;

    void Poll();
    // Sends what is queued and says goodbye (the will is not sent).
    void Disconnect();

  private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    void Lost(const std::string& why);

    MqttConnectOptions options_;
    std::function<void(const std::string&)> log_;
    mosquitto* m_ = nullptr;
    bool connected_ = false;
    std::optional<int> connack_;  // the broker's answer to the last connection attempt
    std::chrono::seconds pause_{1};
    std::optional<std::chrono::steady_clock::time_point> retryAt_;
    bool starting_ = true;
    bool retried_ = false;  // a connection was lost since the last one made
};

}  // namespace lum::cli
