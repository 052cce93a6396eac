#include "broker_connection.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "log/log.h"
#include "signature.h"

namespace zarvo::mqtt {
namespace {

std::once_flag library_ready;

constexpr auto kFirstRetry = std::chrono::milliseconds(200);
constexpr auto kLongestRetry = std::chrono::seconds(15);
constexpr auto kConnackWait = std::chrono::seconds(10);
constexpr int kSocketWaitMs = 1000;  // the loop also keeps the keepalive

struct Properties {
  mosquitto_property* list = nullptr;
  ~Properties() { mosquitto_property_free_all(&list); }
};

}  // namespace

BrokerConnection::BrokerConnection(const MqttSettings& settings, std::string will_topic,
                                   Handlers handlers)
    : settings_(settings), will_topic_(std::move(will_topic)), handlers_(std::move(handlers)) {
  std::call_once(library_ready, [] { mosquitto_lib_init(); });
  mosq_ = mosquitto_new(settings_.EffectiveClientId().c_str(), false, this);
}

BrokerConnection::~BrokerConnection() {
  Stop();
  mosquitto_destroy(mosq_);
}

bool BrokerConnection::Configure(std::string& error) {
  if (mosq_ == nullptr) {
    error = "cannot make an MQTT client";
    return false;
  }
  mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
  // A reply right behind the request's acknowledgement would otherwise wait
  // for the broker's delayed ACK of that small packet (tens of ms).
  mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
  mosquitto_threaded_set(mosq_, true);
  mosquitto_log_callback_set(mosq_, OnLog);
  mosquitto_connect_v5_callback_set(mosq_, OnConnect);
  mosquitto_disconnect_v5_callback_set(mosq_, OnDisconnect);
  mosquitto_publish_v5_callback_set(mosq_, OnPublish);
  mosquitto_message_v5_callback_set(mosq_, OnMessage);
  const std::string offline = "offline";
  mosquitto_will_set_v5(mosq_, will_topic_.c_str(), static_cast<int>(offline.size()),
                        offline.data(), 1, true, nullptr);
  if (!settings_.username.empty() &&
      mosquitto_username_pw_set(
          mosq_, settings_.username.c_str(),
          settings_.password.empty() ? nullptr : settings_.password.c_str()) != MOSQ_ERR_SUCCESS) {
    error = "the MQTT user name or password cannot be used";
    return false;
  }
  if (!settings_.tls.enabled) return true;
  const TlsSettings& tls = settings_.tls;
  if (tls.ca_file.empty()) {
    error = "TLS needs a CA file to verify the broker's certificate";
    return false;
  }
  if (tls.cert_file.empty() != tls.key_file.empty()) {
    error = "a TLS client certificate needs both its certificate and key files";
    return false;
  }
  const int rc = mosquitto_tls_set(mosq_, tls.ca_file.c_str(), nullptr,
                                   tls.cert_file.empty() ? nullptr : tls.cert_file.c_str(),
                                   tls.key_file.empty() ? nullptr : tls.key_file.c_str(), nullptr);
  if (rc != MOSQ_ERR_SUCCESS) {
    error =
        "TLS files cannot be used (CA " + tls.ca_file +
        (tls.cert_file.empty() ? "" : ", certificate " + tls.cert_file + ", key " + tls.key_file) +
        "): " + mosquitto_strerror(rc) + LastError();
    return false;
  }
  mosquitto_tls_opts_set(mosq_, 1, nullptr, nullptr);
  return true;
}

int BrokerConnection::Connect() {
  Properties props;
  mosquitto_property_add_int32(&props.list, MQTT_PROP_SESSION_EXPIRY_INTERVAL,
                               settings_.session_expiry_s);
  return mosquitto_connect_bind_v5(mosq_, settings_.host.c_str(), settings_.port,
                                   settings_.keepalive_s, nullptr, props.list);
}

bool BrokerConnection::Start(std::string& error) {
  if (!Configure(error)) return false;
  const int rc = Connect();
  if (rc == MOSQ_ERR_TLS || rc == MOSQ_ERR_TLS_HANDSHAKE) {
    error = "TLS connection to " + settings_.host + ":" + std::to_string(settings_.port) +
            " failed: " + LastError();
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    socket_up_ = rc == MOSQ_ERR_SUCCESS;
    stopping_ = false;
  }
  if (rc != MOSQ_ERR_SUCCESS) {
    std::lock_guard<std::mutex> lock(mutex_);
    NoteOutage(std::string("not reached: ") + mosquitto_strerror(rc));
  }
  thread_ = std::thread([this] { Serve(); });
  if (rc != MOSQ_ERR_SUCCESS) return true;
  // The broker answered: wait for its verdict on the TLS handshake and the
  // credentials, which come with the CONNACK.
  std::unique_lock<std::mutex> lock(mutex_);
  connack_arrived_.wait_for(lock, kConnackWait,
                            [this] { return connack_result_ >= 0 || !socket_up_; });
  if (connack_result_ > 0) {
    error = std::string("the broker refused the connection: ") +
            mosquitto_reason_string(connack_result_);
  } else if (connack_result_ < 0 && !last_error_.empty() &&
             last_error_.find("SSL") != std::string::npos) {
    error = "TLS connection to " + settings_.host + ":" + std::to_string(settings_.port) +
            " failed: " + last_error_;
  }
  lock.unlock();
  if (!error.empty()) {
    Stop();
    return false;
  }
  return true;
}

void BrokerConnection::Serve() {
  auto retry = std::chrono::milliseconds(kFirstRetry);
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (!socket_up_) {
      lock.unlock();
      const bool up = mosquitto_reconnect(mosq_) == MOSQ_ERR_SUCCESS;
      lock.lock();
      socket_up_ = up;
      if (!up) {
        stop_requested_.wait_for(lock, retry, [this] { return stopping_; });
        retry = std::min<std::chrono::milliseconds>(retry * 2, kLongestRetry);
      }
      continue;
    }
    lock.unlock();
    const int rc = mosquitto_loop(mosq_, kSocketWaitMs, 1);
    lock.lock();
    if (rc == MOSQ_ERR_SUCCESS) {
      if (connack_result_ == 0) retry = kFirstRetry;
      continue;
    }
    if (!stopping_) NoteOutage("lost its connection (" + std::string(mosquitto_strerror(rc)) + ")");
    socket_up_ = false;
    connack_arrived_.notify_all();
  }
}

void BrokerConnection::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable()) return;
    stopping_ = true;
  }
  mosquitto_disconnect_v5(mosq_, MQTT_RC_DISCONNECT_WITH_WILL_MSG, nullptr);
  stop_requested_.notify_all();
  thread_.join();
}

int BrokerConnection::Publish(const std::string& topic, const std::string& payload, int qos,
                              bool retain, const PublishExtras& extras) {
  Properties props;
  if (extras.correlation_data) {
    mosquitto_property_add_binary(&props.list, MQTT_PROP_CORRELATION_DATA,
                                  extras.correlation_data->data(),
                                  static_cast<uint16_t>(extras.correlation_data->size()));
  }
  if (!extras.key_id.empty()) {
    mosquitto_property_add_string_pair(&props.list, MQTT_PROP_USER_PROPERTY, kKeyIdProperty,
                                       extras.key_id.c_str());
    mosquitto_property_add_string_pair(&props.list, MQTT_PROP_USER_PROPERTY, kSignatureProperty,
                                       extras.signature.c_str());
  }
  int mid = -1;
  const int rc = mosquitto_publish_v5(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                                      payload.data(), qos, retain, props.list);
  return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

bool BrokerConnection::Subscribe(const std::string& filter, int qos) {
  // Retain as published: a retained message then says so even when it
  // arrives the moment it is published, not only on later subscriptions.
  return mosquitto_subscribe_v5(mosq_, nullptr, filter.c_str(), qos,
                                MQTT_SUB_OPT_RETAIN_AS_PUBLISHED, nullptr) == MOSQ_ERR_SUCCESS;
}

std::string BrokerConnection::LastError() {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_error_;
}

void BrokerConnection::OnConnect(mosquitto*, void* self, int rc, int, const mosquitto_property*) {
  auto* connection = static_cast<BrokerConnection*>(self);
  {
    std::lock_guard<std::mutex> lock(connection->mutex_);
    connection->connack_result_ = rc;
    if (rc == 0) {
      connection->NoteConnected();
    } else {
      connection->NoteOutage(std::string("refused the connection: ") + mosquitto_reason_string(rc));
    }
  }
  connection->connack_arrived_.notify_all();
  if (rc == 0) connection->handlers_.connected();
}

std::string BrokerConnection::BrokerName() const {
  return settings_.host + ":" + std::to_string(settings_.port);
}

void BrokerConnection::NoteOutage(const std::string& why) {
  if (in_outage_) return;
  in_outage_ = true;
  outage_since_ = std::chrono::steady_clock::now();
  zarvod::LogWarning("mqtt: broker " + BrokerName() + " " + why +
                     "; retrying, events wait in the journal");
}

void BrokerConnection::NoteConnected() {
  if (in_outage_) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - outage_since_);
    zarvod::LogInfo("mqtt: broker " + BrokerName() + " connected after " +
                    std::to_string(seconds.count()) + " s without it");
  } else if (!ever_connected_) {
    zarvod::LogInfo("mqtt: broker " + BrokerName() + " connected");
  }
  in_outage_ = false;
  ever_connected_ = true;
}

void BrokerConnection::OnDisconnect(mosquitto*, void* self, int, const mosquitto_property*) {
  auto* connection = static_cast<BrokerConnection*>(self);
  connection->handlers_.disconnected();
}

void BrokerConnection::OnPublish(mosquitto*, void* self, int mid, int reason,
                                 const mosquitto_property*) {
  static_cast<BrokerConnection*>(self)->handlers_.acknowledged(mid, reason < 0x80);
}

void BrokerConnection::OnLog(mosquitto*, void* self, int level, const char* text) {
  if (level != MOSQ_LOG_ERR) return;
  auto* connection = static_cast<BrokerConnection*>(self);
  std::lock_guard<std::mutex> lock(connection->mutex_);
  connection->last_error_ = text;
}

void BrokerConnection::OnMessage(mosquitto*, void* self, const mosquitto_message* message,
                                 const mosquitto_property* props) {
  CommandMessage command;
  command.topic = message->topic;
  command.payload.assign(static_cast<const char*>(message->payload),
                         static_cast<size_t>(message->payloadlen));
  command.qos = message->qos;
  command.retained = message->retain;
  char* text = nullptr;
  if (mosquitto_property_read_string(props, MQTT_PROP_RESPONSE_TOPIC, &text, false) != nullptr) {
    command.response_topic = text;
    free(text);
  }
  void* binary = nullptr;
  uint16_t length = 0;
  if (mosquitto_property_read_binary(props, MQTT_PROP_CORRELATION_DATA, &binary, &length, false) !=
      nullptr) {
    command.correlation_data = std::string(static_cast<const char*>(binary), length);
    free(binary);
  }
  uint32_t expiry = 0;
  if (mosquitto_property_read_int32(props, MQTT_PROP_MESSAGE_EXPIRY_INTERVAL, &expiry, false) !=
      nullptr) {
    command.expiry_s = expiry;
  }
  char* name = nullptr;
  char* value = nullptr;
  for (const mosquitto_property* p = mosquitto_property_read_string_pair(
           props, MQTT_PROP_USER_PROPERTY, &name, &value, false);
       p != nullptr;
       p = mosquitto_property_read_string_pair(p, MQTT_PROP_USER_PROPERTY, &name, &value, true)) {
    if (std::string(name) == kKeyIdProperty) command.key_id = value;
    if (std::string(name) == kSignatureProperty) command.signature = value;
    free(name);
    free(value);
  }
  static_cast<BrokerConnection*>(self)->handlers_.message(command);
}

}  // namespace zarvo::mqtt
