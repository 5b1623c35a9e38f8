#include "cli/mqtt/MosquittoClient.h"

#include <mosquitto.h>

#include <cerrno>

#include "cli/Errors.h"
#include "common/SystemErrorText.h"

namespace lum::cli {

namespace {

// The broker's refusal of a connection (the CONNACK code of MQTT 3.1.1).
std::string RefusalText(int rc) {
    switch (rc) {
        case 1: return "брокер не принимает эту версию протокола MQTT";
        case 2: return "брокер отклонил идентификатор клиента (--client-id)";
        case 3: return "брокер сейчас не обслуживает клиентов";
        case 4: return "неверное имя пользователя или пароль";
        case 5: return "нет доступа: брокер не пускает этого клиента (неверные имя или пароль, или нужны --username и --password-file)";
        default: return std::string("брокер отказал: ") + mosquitto_connack_string(rc);
    }
}

// A library result as a text; the C library's errors through the one errno mapping.
std::string ErrorText(int rc, int error) {
    switch (rc) {
        case MOSQ_ERR_ERRNO: return ErrnoText(error);
        case MOSQ_ERR_EAI: return "имя брокера не найдено";
        case MOSQ_ERR_TLS: return "ошибка TLS: сертификат брокера не подтвержден (--tls-ca) или брокер без TLS";
        case MOSQ_ERR_CONN_LOST: return "брокер закрыл соединение";
        case MOSQ_ERR_NO_CONN: return "нет соединения";
        default: return mosquitto_strerror(rc);
    }
}

}  // namespace

MosquittoClient::MosquittoClient(MqttConnectOptions options, std::function<void(const std::string&)> log)
    : options_(std::move(options)), log_(std::move(log)) {
    mosquitto_lib_init();
    m_ = mosquitto_new(options_.clientId.empty() ? nullptr : options_.clientId.c_str(), true, this);
    if (!m_) {
        mosquitto_lib_cleanup();
        throw CliError(ExitNoController, "MQTT: клиент не создан: " + ErrnoText(errno));
    }
    auto fail = [&](int code, const std::string& why) {
        mosquitto_destroy(m_);
        mosquitto_lib_cleanup();
        throw CliError(code, "брокер " + BrokerName() + ": " + why);
    };
    if (!options_.username.empty())
        mosquitto_username_pw_set(m_, options_.username.c_str(),
                                  options_.password.empty() ? nullptr : options_.password.c_str());
    if (!options_.tlsCaFile.empty() &&
        mosquitto_tls_set(m_, options_.tlsCaFile.c_str(), nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
        fail(ExitBadArguments, "--tls-ca " + options_.tlsCaFile + ": файл не читается");
    if (!options_.willTopic.empty())
        mosquitto_will_set(m_, options_.willTopic.c_str(), 7, "offline", 1, true);
    mosquitto_connect_callback_set(m_, &MosquittoClient::OnConnect);
    mosquitto_disconnect_callback_set(m_, &MosquittoClient::OnDisconnect);
    mosquitto_message_callback_set(m_, [](mosquitto*, void* self, const mosquitto_message* m) {
        auto* c = static_cast<MosquittoClient*>(self);
        if (c->OnMessage)
            c->OnMessage(m->topic, std::string(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen)));
    });

    errno = 0;
    int rc = mosquitto_connect(m_, options_.host.c_str(), options_.port, static_cast<int>(options_.keepAlive.count()));
    if (rc != MOSQ_ERR_SUCCESS) fail(ExitNoController, ErrorText(rc, errno));
    const auto deadline = std::chrono::steady_clock::now() + kConnectTimeout;
    while (!connack_) {
        errno = 0;
        rc = mosquitto_loop(m_, 100, 1);
        if (connack_) break;  // a refusal comes with an error result too: the broker's code says more
        if (rc != MOSQ_ERR_SUCCESS) fail(ExitNoController, ErrorText(rc, errno));
        if (std::chrono::steady_clock::now() > deadline) fail(ExitNoController, "брокер не ответил на подключение");
    }
    if (*connack_ != 0) fail(ExitNoController, RefusalText(*connack_));
    starting_ = false;
}

MosquittoClient::~MosquittoClient() {
    mosquitto_destroy(m_);
    mosquitto_lib_cleanup();
}

std::string MosquittoClient::BrokerName() const {
    return options_.host + ":" + std::to_string(options_.port);
}

void MosquittoClient::OnConnect(mosquitto*, void* self, int rc) {
    auto* c = static_cast<MosquittoClient*>(self);
    c->connack_ = rc;
    if (rc != 0) {
        if (!c->starting_) c->Lost(RefusalText(rc));  // at start the constructor says it and ends
        return;
    }
    const bool again = c->retried_;
    c->connected_ = true;
    c->pause_ = std::chrono::seconds(1);
    c->retried_ = false;
    if (again && c->log_) c->log_("связь с брокером " + c->BrokerName() + " восстановлена");
    if (again && c->OnConnected) c->OnConnected();
}

void MosquittoClient::OnDisconnect(mosquitto*, void* self, int) {
    static_cast<MosquittoClient*>(self)->connected_ = false;
}

void MosquittoClient::Lost(const std::string& why) {
    if (retryAt_) return;
    connected_ = false;
    if (log_)
        log_("брокер " + BrokerName() + ": " + why + "; новая попытка через " + std::to_string(pause_.count()) + " с");
    retryAt_ = std::chrono::steady_clock::now() + pause_;
    pause_ = std::min(pause_ * 2, kMaxRetryPause);
    retried_ = true;
}

void MosquittoClient::Poll() {
    if (retryAt_) {
        if (std::chrono::steady_clock::now() < *retryAt_) return;
        retryAt_.reset();
        connack_.reset();
        errno = 0;
        const int rc = mosquitto_reconnect(m_);
        if (rc != MOSQ_ERR_SUCCESS) {
            Lost(ErrorText(rc, errno));
            return;
        }
    }
    errno = 0;
    const int rc = mosquitto_loop(m_, 0, 1);
    if (rc != MOSQ_ERR_SUCCESS) Lost(ErrorText(rc, errno));
}

bool MosquittoClient::Publish(const std::string& topic, const std::string& payload, bool retain) {
    if (!connected_) return false;
    return mosquitto_publish(m_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 0,
                             retain) == MOSQ_ERR_SUCCESS;
}

bool MosquittoClient::Subscribe(const std::string& topic) {
    if (!connected_) return false;
    return mosquitto_subscribe(m_, nullptr, topic.c_str(), 1) == MOSQ_ERR_SUCCESS;
}

void MosquittoClient::Disconnect() {
    if (!connected_) return;
    for (int i = 0; i < 20 && mosquitto_want_write(m_); ++i) mosquitto_loop(m_, 50, 1);
    mosquitto_disconnect(m_);
    mosquitto_loop(m_, 50, 1);
    connected_ = false;
}

}  // namespace lum::cli
