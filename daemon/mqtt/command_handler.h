// Turns a command message into at most one run on a controller's line, and
// answers it. In order: parse the request within its size and nesting
// limits, refuse a retained message (and clear it from the broker), check
// its signature (a signed request names its id and deadline), look its id
// up in the command journal (a repeat is answered from there, never carried
// out again), check the command is enabled and its deadline not passed,
// then hand it to the site's command queue. Anything refused is answered
// with the reason and sends nothing to a line. Replies go to the site's
// reply topic, or to a response topic outside the site's own topics; an
// unauthenticated request is never answered on a topic it chose.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "mqtt_settings.h"
#include "payloads.h"
#include "site_ports.h"
#include "topics.h"

namespace zarvo::mqtt {

struct CommandMessage {
  std::string topic;
  std::string payload;
  int qos = 1;
  std::string response_topic;  // MQTT 5; empty when not given
  std::optional<std::string> correlation_data;
  std::optional<uint32_t> expiry_s;  // the message expiry left on arrival
  std::string key_id;                // signature user properties
  std::string signature;
  bool retained = false;  // kept by the broker and delivered on every subscription
};

struct ReplyMessage {
  std::string topic;
  std::string payload;
  std::optional<std::string> correlation_data;
  std::string key_id;  // set when the reply is signed
  std::string signature;
  bool retain = false;  // only to clear a retained command: an empty payload
};

class CommandHandler {
 public:
  using ReplySink = std::function<void(const ReplyMessage&)>;

  CommandHandler(const MqttSettings& settings, CommandRunner& runner, CommandJournal& journal,
                 Clock& clock, ReplySink send);

  void Handle(const CommandMessage& message);
  // Waits until every command handed to the site has been answered. The
  // site's queue calls each `done`, so this returns while the site runs.
  void WaitIdle();

 private:
  struct Destination {
    std::string topic;
    std::optional<std::string> correlation_data;
    std::string key_id;
  };
  struct Request;

  bool Authenticate(const CommandMessage& message, Request& request);
  bool ReadEnvelope(const nlohmann::json& body, const CommandMessage& message, Request& request);
  bool CheckReplayGuard(const nlohmann::json& body, Request& request);
  bool ResponseTopicAllowed(const std::string& topic) const;
  std::optional<int64_t> Deadline(const nlohmann::json& body, const CommandMessage& message);
  bool AnswerRepeat(const Request& request);
  void Run(Request& request, LineAction action, std::shared_ptr<nlohmann::json> data);
  void Refuse(const Request& request, int32_t result, const std::string& why, bool journal);
  void Complete(const Request& request, const Reply& reply, bool journal);
  void Send(const Destination& to, const std::string& payload);

  const MqttSettings& settings_;
  Topics topics_;
  CommandRunner& runner_;
  CommandJournal& journal_;
  Clock& clock_;
  ReplySink send_;
  uint64_t unnamed_requests_ = 0;
  std::mutex waiting_mutex_;
  // Repeats of a request still running, answered when it completes.
  std::map<std::string, std::vector<Destination>> waiting_;
  int running_ = 0;  // commands handed to the site and not yet answered
  std::condition_variable idle_;
};

}  // namespace zarvo::mqtt
