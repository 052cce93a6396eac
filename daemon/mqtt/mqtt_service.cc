#include "mqtt_service.h"

#include "home_assistant.h"
#include "payloads.h"

namespace zarvo::mqtt {

MqttService::MqttService(MqttSettings settings, SiteDirectory& site, EventOutbox& outbox,
                         CommandRunner& runner, CommandJournal& journal, Clock& clock)
    : settings_(std::move(settings)),
      topics_(settings_.EffectivePrefix()),
      site_(site),
      publisher_(settings_.site, topics_, outbox, static_cast<size_t>(settings_.max_inflight)),
      commands_(settings_, runner, journal, clock,
                [this](const ReplyMessage& reply) { SendReply(reply); }) {
  BrokerConnection::Handlers handlers{
      [this] { OnConnected(); },
      [this] { publisher_.OnDisconnected(); },
      [this](int mid, bool accepted) { publisher_.OnAcknowledged(mid, accepted); },
      [this](const CommandMessage& message) { commands_.Handle(message); },
  };
  connection_ = std::make_unique<BrokerConnection>(settings_, topics_.SiteStatus(), handlers);
}

MqttService::~MqttService() { Stop(); }

bool MqttService::Start(std::string& error) {
  site_.SetListener([this](const ControllerInfo& c) { PublishControllerStatus(c); });
  publisher_.Start(*connection_);
  if (connection_->Start(error)) return true;
  Stop();
  return false;
}

void MqttService::Stop() {
  site_.SetListener(nullptr);
  connection_->Stop();
  commands_.WaitIdle();
  publisher_.Stop();
}

void MqttService::OnConnected() {
  connection_->Subscribe(topics_.CommandFilter(), 1);
  const std::vector<ControllerInfo> controllers = site_.Controllers();
  for (const ControllerInfo& controller : controllers) PublishControllerStatus(controller);
  if (settings_.home_assistant) {
    for (const DiscoveryMessage& m : DiscoveryMessages(settings_, controllers)) {
      connection_->Publish(m.topic, m.payload, 1, true);
    }
  }
  // Last, so that whoever sees "online" finds the rest in place.
  connection_->Publish(topics_.SiteStatus(), "online", 1, true);
  publisher_.OnConnected();
}

void MqttService::PublishControllerStatus(const ControllerInfo& controller) {
  connection_->Publish(topics_.ControllerStatus(controller.name),
                       ControllerStatusPayload(controller), 1, true);
}

void MqttService::SendReply(const ReplyMessage& reply) {
  connection_->Publish(reply.topic, reply.payload, 1, false,
                       PublishExtras{reply.correlation_data, reply.key_id, reply.signature});
}

}  // namespace zarvo::mqtt
