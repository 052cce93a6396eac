#include "mqtt_service.h"

#include <chrono>
#include <cstdio>

#include "home_assistant.h"
#include "log/log.h"
#include "payloads.h"

namespace zarvo::mqtt {
namespace {

// How long a stop waits for the broker to take the controllers' offline
// status.
constexpr auto kOfflineWait = std::chrono::seconds(2);

}  // namespace

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
      [this] {
        {
          std::lock_guard<std::mutex> lock(retained_mutex_);
          connected_ = false;
        }
        publisher_.OnDisconnected();
      },
      [this](int mid, bool accepted) { OnAcknowledged(mid, accepted); },
      [this](const CommandMessage& message) { commands_.Handle(message); },
  };
  connection_ = std::make_unique<BrokerConnection>(settings_, topics_.SiteStatus(), handlers);
}

MqttService::~MqttService() { Stop(); }

bool MqttService::Start(std::string& error) {
  {
    std::lock_guard<std::mutex> lock(retained_mutex_);
    stopped_ = false;
  }
  site_.SetListener([this](const ControllerInfo& c) { PublishControllerStatus(c); });
  publisher_.Start(*connection_);
  if (connection_->Start(error)) return true;
  Stop();
  return false;
}

void MqttService::Stop() {
  site_.SetListener(nullptr);
  {
    std::lock_guard<std::mutex> lock(retained_mutex_);
    if (stopped_) return;
    stopped_ = true;
  }
  std::vector<int> offline;
  for (ControllerInfo controller : site_.Controllers()) {
    controller.online = false;
    const int mid = PublishRetained(topics_.ControllerStatus(controller.name),
                                    ControllerStatusPayload(controller));
    if (mid >= 0) offline.push_back(mid);
  }
  {
    // Leaving the broker drops what the connection has not written yet.
    std::unique_lock<std::mutex> lock(retained_mutex_);
    retained_acknowledged_.wait_for(lock, kOfflineWait, [&] {
      if (!connected_) return true;  // queued for a connection that will not come
      for (int mid : offline) {
        if (retained_in_flight_.count(mid) != 0) return false;
      }
      return true;
    });
  }
  connection_->Stop();
  commands_.WaitIdle();
  publisher_.Stop();
}

void MqttService::OnConnected() {
  {
    std::lock_guard<std::mutex> lock(retained_mutex_);
    connected_ = true;
  }
  connection_->Subscribe(topics_.CommandFilter(), 1);
  const std::vector<ControllerInfo> controllers = site_.Controllers();
  for (const ControllerInfo& controller : controllers) PublishControllerStatus(controller);
  bool discovery = false;
  {
    std::lock_guard<std::mutex> lock(retained_mutex_);
    discovery = settings_.home_assistant && !discovery_refused_;
  }
  ClearFormerControllers(discovery);
  if (discovery) {
    for (const DiscoveryMessage& m : DiscoveryMessages(settings_, controllers)) {
      PublishRetained(m.topic, m.payload);
    }
  }
  // Last, so that whoever sees "online" finds the rest in place.
  connection_->Publish(topics_.SiteStatus(), "online", 1, true);
  publisher_.OnConnected();
}

void MqttService::OnAcknowledged(int message_id, bool accepted) {
  publisher_.OnAcknowledged(message_id, accepted);
  std::lock_guard<std::mutex> lock(retained_mutex_);
  const auto it = retained_in_flight_.find(message_id);
  if (it == retained_in_flight_.end()) return;
  if (!accepted) {
    zarvod::LogError("mqtt: the broker refused " + it->second +
                     "; does its ACL let this client write there?");
    if (it->second.rfind(settings_.discovery_prefix + "/", 0) == 0 && !discovery_refused_) {
      discovery_refused_ = true;
      zarvod::LogError("mqtt: Home Assistant discovery is off until zarvod restarts");
    }
  }
  retained_in_flight_.erase(it);
  retained_acknowledged_.notify_all();
}

void MqttService::PublishControllerStatus(const ControllerInfo& controller) {
  PublishRetained(topics_.ControllerStatus(controller.name), ControllerStatusPayload(controller));
}

// An empty retained message deletes the one kept on its topic. Clearing a
// topic that holds nothing costs one message.
void MqttService::ClearFormerControllers(bool discovery) {
  for (const std::string& name : site_.FormerControllers()) {
    PublishRetained(topics_.ControllerStatus(name), "");
    if (!discovery) continue;
    for (const std::string& topic : DiscoveryTopics(settings_, name)) PublishRetained(topic, "");
  }
}

int MqttService::PublishRetained(const std::string& topic, const std::string& payload) {
  // Held across the publish, so that the acknowledgement finds the topic.
  std::lock_guard<std::mutex> lock(retained_mutex_);
  const int mid = connection_->Publish(topic, payload, 1, true);
  if (mid >= 0) retained_in_flight_[mid] = topic;
  return mid;
}

void MqttService::SendReply(const ReplyMessage& reply) {
  connection_->Publish(reply.topic, reply.payload, 1, reply.retain,
                       PublishExtras{reply.correlation_data, reply.key_id, reply.signature});
}

}  // namespace zarvo::mqtt
