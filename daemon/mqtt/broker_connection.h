// One MQTT 5 connection to the broker through libmosquitto: a persistent
// session (clean start off, a session expiry), the site's "offline" status
// as Last Will, TLS and credentials from the settings. A thread of its own
// reads the socket and reconnects with backoff; Publish may be called from
// any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "command_handler.h"
#include "mqtt_settings.h"

struct mosquitto;
struct mosquitto_message;
typedef struct mqtt5__property mosquitto_property;

namespace zarvo::mqtt {

struct PublishExtras {
  std::optional<std::string> correlation_data;
  std::string key_id;  // signature user properties, when signed
  std::string signature;
};

class BrokerConnection {
 public:
  struct Handlers {
    std::function<void()> connected;
    std::function<void()> disconnected;
    std::function<void(int message_id, bool accepted)> acknowledged;
    std::function<void(const CommandMessage&)> message;
  };

  BrokerConnection(const MqttSettings& settings, std::string will_topic, Handlers handlers);
  ~BrokerConnection();
  BrokerConnection(const BrokerConnection&) = delete;
  BrokerConnection& operator=(const BrokerConnection&) = delete;

  // Connects once and starts the connection's thread. False, with the
  // reason, for settings that cannot work: unreadable TLS files, a server
  // certificate the CA does not verify, credentials the broker refuses.
  // A broker that is merely not there yet is retried in the background.
  bool Start(std::string& error);
  // Disconnects asking the broker to publish the Last Will (the site goes
  // "offline" as if it had died), and stops the thread.
  void Stop();

  // The message id, or -1 when nothing was handed to the connection.
  int Publish(const std::string& topic, const std::string& payload, int qos, bool retain,
              const PublishExtras& extras = {});
  bool Subscribe(const std::string& filter, int qos);

 private:
  static void OnConnect(mosquitto*, void* self, int rc, int flags, const mosquitto_property*);
  static void OnDisconnect(mosquitto*, void* self, int rc, const mosquitto_property*);
  static void OnPublish(mosquitto*, void* self, int mid, int reason, const mosquitto_property*);
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message,
                        const mosquitto_property* props);
  static void OnLog(mosquitto*, void* self, int level, const char* text);
  bool Configure(std::string& error);
  int Connect();
  void Serve();
  std::string LastError();
  std::string BrokerName() const;
  // An outage is logged once when it starts and once when it ends; mutex_ held.
  void NoteOutage(const std::string& why);
  void NoteConnected();

  const MqttSettings& settings_;
  std::string will_topic_;
  Handlers handlers_;
  mosquitto* mosq_ = nullptr;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable stop_requested_;
  bool stopping_ = false;
  bool socket_up_ = false;
  int connack_result_ = -1;  // of the latest CONNACK; -1 before one
  std::condition_variable connack_arrived_;
  std::string last_error_;
  bool ever_connected_ = false;
  bool in_outage_ = false;
  std::chrono::steady_clock::time_point outage_since_;
};

}  // namespace zarvo::mqtt
