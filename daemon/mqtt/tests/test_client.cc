#include "test_client.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <chrono>
#include <cstdlib>

namespace zarvo::mqtt::testing {
namespace {

constexpr auto kWait = std::chrono::seconds(10);

}  // namespace

TestClient::TestClient(ClientOptions options) : options_(std::move(options)) {
  mosquitto_lib_init();
  mosq_ = mosquitto_new(options_.id.empty() ? nullptr : options_.id.c_str(), !options_.persistent,
                        this);
  mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
  if (!options_.username.empty()) {
    mosquitto_username_pw_set(mosq_, options_.username.c_str(), options_.password.c_str());
  }
  if (!options_.ca_file.empty()) {
    mosquitto_tls_set(mosq_, options_.ca_file.c_str(), nullptr, nullptr, nullptr, nullptr);
  }
  mosquitto_connect_v5_callback_set(
      mosq_, [](mosquitto*, void* self, int rc, int, const mosquitto_property*) {
        auto* client = static_cast<TestClient*>(self);
        std::lock_guard<std::mutex> lock(client->mutex_);
        client->connack_ = rc;
        client->changed_.notify_all();
      });
  mosquitto_subscribe_v5_callback_set(
      mosq_, [](mosquitto*, void* self, int, int, const int*, const mosquitto_property*) {
        auto* client = static_cast<TestClient*>(self);
        std::lock_guard<std::mutex> lock(client->mutex_);
        ++client->subscribed_;
        client->changed_.notify_all();
      });
  mosquitto_publish_v5_callback_set(
      mosq_, [](mosquitto*, void* self, int mid, int reason, const mosquitto_property*) {
        auto* client = static_cast<TestClient*>(self);
        std::lock_guard<std::mutex> lock(client->mutex_);
        client->acks_[mid] = reason;
        client->changed_.notify_all();
      });
  mosquitto_message_v5_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message* m,
                                              const mosquitto_property* props) {
    auto* client = static_cast<TestClient*>(self);
    Received r{
        m->topic,
        std::string(static_cast<const char*>(m->payload), static_cast<size_t>(m->payloadlen)),
        m->retain,
        std::nullopt,
        {}};
    void* binary = nullptr;
    uint16_t length = 0;
    if (mosquitto_property_read_binary(props, MQTT_PROP_CORRELATION_DATA, &binary, &length,
                                       false)) {
      r.correlation_data = std::string(static_cast<char*>(binary), length);
      free(binary);
    }
    char *name = nullptr, *value = nullptr;
    for (auto* p = mosquitto_property_read_string_pair(props, MQTT_PROP_USER_PROPERTY, &name,
                                                       &value, false);
         p != nullptr;
         p = mosquitto_property_read_string_pair(p, MQTT_PROP_USER_PROPERTY, &name, &value, true)) {
      r.user_properties[name] = value;
      free(name);
      free(value);
    }
    std::lock_guard<std::mutex> lock(client->mutex_);
    client->received_.push_back(std::move(r));
    client->changed_.notify_all();
  });
}

TestClient::~TestClient() {
  Disconnect();
  mosquitto_destroy(mosq_);
}

bool TestClient::Connect(int port) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connack_ = -1;
  }
  mosquitto_property* props = nullptr;
  if (options_.persistent) {
    mosquitto_property_add_int32(&props, MQTT_PROP_SESSION_EXPIRY_INTERVAL, 3600);
  }
  mosquitto_reconnect_delay_set(mosq_, 1, 2, false);
  const int rc = mosquitto_connect_bind_v5(mosq_, "127.0.0.1", port, 30, nullptr, props);
  mosquitto_property_free_all(&props);
  if (rc != MOSQ_ERR_SUCCESS) return false;
  mosquitto_loop_start(mosq_);
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, kWait, [this] { return connack_ >= 0; }) && connack_ == 0;
}

void TestClient::Disconnect() {
  mosquitto_disconnect(mosq_);
  mosquitto_loop_stop(mosq_, false);
}

bool TestClient::Subscribe(const std::string& filter, int qos) {
  std::unique_lock<std::mutex> lock(mutex_);
  const int before = subscribed_;
  lock.unlock();
  if (mosquitto_subscribe_v5(mosq_, nullptr, filter.c_str(), qos, 0, nullptr) != MOSQ_ERR_SUCCESS) {
    return false;
  }
  lock.lock();
  return changed_.wait_for(lock, kWait, [&] { return subscribed_ > before; });
}

int TestClient::Publish(const std::string& topic, const std::string& payload,
                        const PublishOptions& options) {
  mosquitto_property* props = nullptr;
  if (!options.response_topic.empty()) {
    mosquitto_property_add_string(&props, MQTT_PROP_RESPONSE_TOPIC, options.response_topic.c_str());
  }
  if (options.correlation_data) {
    mosquitto_property_add_binary(&props, MQTT_PROP_CORRELATION_DATA,
                                  options.correlation_data->data(),
                                  static_cast<uint16_t>(options.correlation_data->size()));
  }
  if (options.expiry_s) {
    mosquitto_property_add_int32(&props, MQTT_PROP_MESSAGE_EXPIRY_INTERVAL, *options.expiry_s);
  }
  for (const auto& [name, value] : options.user_properties) {
    mosquitto_property_add_string_pair(&props, MQTT_PROP_USER_PROPERTY, name.c_str(),
                                       value.c_str());
  }
  int mid = 0;
  const int rc = mosquitto_publish_v5(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                                      payload.data(), options.qos, false, props);
  mosquitto_property_free_all(&props);
  if (rc != MOSQ_ERR_SUCCESS) return -1;
  if (options.qos == 0) return 0;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!changed_.wait_for(lock, kWait, [&] { return acks_.count(mid) != 0; })) return -1;
  return acks_[mid];
}

bool TestClient::WaitUntil(const std::function<bool(const std::vector<Received>&)>& done,
                           int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return done(received_); });
}

std::optional<Received> TestClient::WaitFor(const std::string& topic, int timeout_ms) {
  std::optional<Received> found;
  WaitUntil(
      [&](const std::vector<Received>& all) {
        for (const Received& r : all) {
          if (r.topic == topic) {
            found = r;
            return true;
          }
        }
        return false;
      },
      timeout_ms);
  return found;
}

std::vector<Received> TestClient::Messages() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

}  // namespace zarvo::mqtt::testing
