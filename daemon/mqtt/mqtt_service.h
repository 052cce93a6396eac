// The site on MQTT: its status and its controllers' status (retained), its
// events from the journal, commands in and replies out, and optionally the
// Home Assistant discovery messages. main() makes one and starts it.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "broker_connection.h"
#include "command_handler.h"
#include "event_publisher.h"
#include "mqtt_settings.h"
#include "site_ports.h"
#include "topics.h"

namespace zarvo::mqtt {

class MqttService {
 public:
  MqttService(MqttSettings settings, SiteDirectory& site, EventOutbox& outbox,
              CommandRunner& runner, CommandJournal& journal, Clock& clock);
  ~MqttService();

  // False, with the reason, when the broker settings cannot work; the
  // daemon then stops at start.
  bool Start(std::string& error);
  // Marks every controller offline, then leaves the broker, which tells
  // the site offline through the Last Will.
  void Stop();

 private:
  void OnConnected();
  void OnAcknowledged(int message_id, bool accepted);
  void PublishControllerStatus(const ControllerInfo& controller);
  void ClearFormerControllers(bool discovery);
  // A retained message; a refusal by the broker is logged with its topic.
  // Returns the message id, or -1 when nothing was sent.
  int PublishRetained(const std::string& topic, const std::string& payload);
  void SendReply(const ReplyMessage& reply);

  MqttSettings settings_;
  Topics topics_;
  SiteDirectory& site_;
  EventPublisher publisher_;
  CommandHandler commands_;
  std::unique_ptr<BrokerConnection> connection_;
  std::mutex retained_mutex_;
  std::map<int, std::string> retained_in_flight_;  // message id -> topic
  std::condition_variable retained_acknowledged_;
  bool connected_ = false;  // to the broker, as its callbacks tell
  bool stopped_ = true;     // until Start
  // The broker refused a discovery message; some close the connection on
  // that, so discovery is not sent again until the daemon restarts.
  bool discovery_refused_ = false;
};

}  // namespace zarvo::mqtt
