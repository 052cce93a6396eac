// An MQTT 5 client for tests: what a central server, Home Assistant or an
// operator would be. Every message it receives is kept; a test waits for
// the ones it expects on a condition, never by sleeping.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;

namespace zarvo::mqtt::testing {

struct Received {
  std::string topic;
  std::string payload;
  bool retained = false;
  std::optional<std::string> correlation_data;
  std::map<std::string, std::string> user_properties;
};

struct ClientOptions {
  std::string id;
  bool persistent = false;  // clean start off, with a session expiry
  std::string username, password;
  std::string ca_file;  // TLS when set
};

struct PublishOptions {
  int qos = 1;
  std::string response_topic;
  std::optional<std::string> correlation_data;
  std::optional<uint32_t> expiry_s;
  std::map<std::string, std::string> user_properties;
};

class TestClient {
 public:
  explicit TestClient(ClientOptions options);
  ~TestClient();

  bool Connect(int port);
  void Disconnect();
  bool Subscribe(const std::string& filter, int qos = 1);
  // The broker's reason code for a QoS 1 publish (0 accepted), or -1.
  int Publish(const std::string& topic, const std::string& payload, const PublishOptions& = {});

  // Waits until `done` holds over what arrived so far.
  bool WaitUntil(const std::function<bool(const std::vector<Received>&)>& done,
                 int timeout_ms = 10000);
  // The first message on `topic`, waiting for it.
  std::optional<Received> WaitFor(const std::string& topic, int timeout_ms = 10000);
  std::vector<Received> Messages();

 private:
  ClientOptions options_;
  mosquitto* mosq_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Received> received_;
  std::map<int, int> acks_;  // message id -> reason code
  int connack_ = -1;
  int subscribed_ = 0;
};

}  // namespace zarvo::mqtt::testing
