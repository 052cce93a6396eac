// The site on MQTT: its status and its controllers' status (retained), its
// events from the journal, commands in and replies out, and optionally the
// Home Assistant discovery messages. main() makes one and starts it.
#pragma once

#include <memory>
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
  void Stop();

 private:
  void OnConnected();
  void PublishControllerStatus(const ControllerInfo& controller);
  void SendReply(const ReplyMessage& reply);

  MqttSettings settings_;
  Topics topics_;
  SiteDirectory& site_;
  EventPublisher publisher_;
  CommandHandler commands_;
  std::unique_ptr<BrokerConnection> connection_;
};

}  // namespace zarvo::mqtt
