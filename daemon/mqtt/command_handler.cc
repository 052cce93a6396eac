#include "command_handler.h"

#include <cstdio>

#include "command_catalog.h"
#include "log/log.h"
#include "reply_codes.h"
#include "request_args.h"
#include "request_json.h"
#include "signature.h"

namespace zarvo::mqtt {

using nlohmann::json;

namespace {

// How far ahead a signed request's deadline may lie. The journal keeps
// request ids at least a day, so a signed request replayed after its id
// was pruned has long expired.
constexpr int64_t kSignedDeadlineAheadMs = 3600'000;
// Deadlines as Unix seconds up to the year 9999; anything past is unreadable.
constexpr double kLastDeadlineS = 253402300799.0;

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

}  // namespace

struct CommandHandler::Request {
  std::string name;
  std::string id;
  std::string controller;
  std::string who = "unknown";
  std::string what;
  Destination reply_to;
  std::optional<int64_t> deadline_ms;
  bool id_given = false;  // false for a QoS 0 request named here
};

CommandHandler::CommandHandler(const MqttSettings& settings, CommandRunner& runner,
                               CommandJournal& journal, Clock& clock, ReplySink send)
    : settings_(settings),
      topics_(settings.EffectivePrefix()),
      runner_(runner),
      journal_(journal),
      clock_(clock),
      send_(std::move(send)) {}

void CommandHandler::Handle(const CommandMessage& message) {
  Request request;
  request.name = topics_.CommandName(message.topic).value_or("");
  if (request.name.empty()) return;
  if (message.retained) {
    // Clearing it keeps the broker from handing it over on every
    // subscription; the clearing itself comes back empty and is ignored.
    if (message.payload.empty()) return;
    send_(ReplyMessage{message.topic, "", std::nullopt, "", "", true});
  }
  const bool topic_allowed =
      message.response_topic.empty() || ResponseTopicAllowed(message.response_topic);
  // Until a request is authenticated, it may not choose where answers go.
  const bool answer_where_asked = topic_allowed && !settings_.require_signatures;
  request.reply_to = {answer_where_asked ? message.response_topic : "", message.correlation_data,
                      ""};
  const RequestJson parsed = ParseRequestJson(message.payload);
  if (!parsed.error.empty()) return Refuse(request, kMalformed, parsed.error, false);
  const json& body = parsed.body;
  if (!ReadEnvelope(body, message, request)) return;
  if (message.retained) {
    return Refuse(request, kMalformed,
                  "a retained command is never carried out: publish it without the retain flag",
                  false);
  }
  if (!Authenticate(message, request)) return;
  if (topic_allowed && !message.response_topic.empty()) {
    request.reply_to.topic = message.response_topic;
  }
  if (!topic_allowed) {
    return Refuse(
        request, kMalformed,
        "the response topic must lie outside this site's topics" +
            (settings_.reply_prefix.empty() ? std::string()
                                            : " and under " + settings_.EffectiveReplyPrefix()),
        false);
  }
  if (!CheckReplayGuard(body, request)) return;
  request.what = CommandRecordText(request.name, body);
  if (AnswerRepeat(request)) return;

  const CommandSpec* entry = FindCommand(request.name);
  if (entry == nullptr) return Refuse(request, kUnknownCommand, "no command " + request.name, true);
  RequestArgs args(body);
  for (const char* key : {"id", "controller", "by", "deadline"}) args.Accept(key);
  BuiltCommand built;
  entry->build(args, built);
  if (!args.Finish()) return Refuse(request, kMalformed, args.error(), true);
  if (entry->kind == CommandKind::kIdentity && !settings_.allow_identity_commands) {
    return Refuse(request, kDisabled, request.name + " is off in this site's configuration", true);
  }
  // A door-open that could have waited in the broker for the site must say
  // until when it is wanted; a QoS 0 message is never kept for later.
  if (entry->kind == CommandKind::kDoorOpen && !request.deadline_ms && message.qos > 0) {
    return Refuse(request, kMalformed,
                  "door.open needs a deadline: a message expiry or a deadline field", true);
  }
  if (request.deadline_ms && clock_.NowMs() > *request.deadline_ms) {
    return Refuse(request, kExpired, "the deadline passed before the command arrived", true);
  }
  Run(request, std::move(built.action), built.data);
}

bool CommandHandler::ReadEnvelope(const json& body, const CommandMessage& message,
                                  Request& request) {
  RequestArgs envelope(body);
  request.id = envelope.Text("id", 1, 64, nullptr, "");
  if (envelope.ok() && !request.id.empty() && !IsTopicLevel(request.id)) {
    envelope.Fail("id must not contain '/', '+' or '#'");
  } else if (envelope.ok() && !request.id.empty() && request.reply_to.topic.empty()) {
    request.reply_to.topic = topics_.Reply(request.id);
  }
  request.id_given = !request.id.empty();
  request.controller = envelope.Text("controller", 1, 64, nullptr);
  const std::string by = envelope.Text("by", 1, 64, nullptr, "");
  if (!by.empty()) request.who = by;
  request.deadline_ms = Deadline(body, message);
  if (envelope.ok() && request.id.empty()) {
    // A QoS 0 request is delivered at most once, so it needs no id to be
    // told from a repeat; anything else does.
    if (message.qos > 0) {
      envelope.Fail("id is missing");
    } else {
      request.id =
          "unnamed-" + std::to_string(clock_.NowMs()) + "-" + std::to_string(++unnamed_requests_);
    }
  }
  if (!envelope.ok()) Refuse(request, kMalformed, envelope.error(), false);
  return envelope.ok();
}

// A signature proves who wrote a request, not when: whoever captured it
// could send it again. So what is signed must name the request (a repeat is
// answered from the journal) and a deadline soon after signing (a repeat
// after the journal forgot the id has expired).
bool CommandHandler::CheckReplayGuard(const json& body, Request& request) {
  if (request.reply_to.key_id.empty()) return true;
  std::string fault;
  if (!request.id_given) {
    fault = "a signed request needs an id";
  } else if (!body.contains("deadline")) {
    fault = "a signed request needs a deadline field";
  } else if (request.deadline_ms &&
             *request.deadline_ms > clock_.NowMs() + kSignedDeadlineAheadMs) {
    fault = "a signed request's deadline may be at most " +
            std::to_string(kSignedDeadlineAheadMs / 1000) + " s ahead";
  }
  if (fault.empty()) return true;
  Refuse(request, kMalformed, fault, false);
  return false;
}

// Replies go to the site's reply topics, or outside everything the site
// publishes, so that no reply can pass for an event, a status or discovery.
bool CommandHandler::ResponseTopicAllowed(const std::string& topic) const {
  if (topic.empty() || topic.size() > 1024 || topic[0] == '$' ||
      topic.find_first_of(std::string("+#\0", 3)) != std::string::npos) {
    return false;
  }
  if (!settings_.reply_prefix.empty()) {
    return StartsWith(topic, settings_.EffectiveReplyPrefix());
  }
  if (StartsWith(topic, topics_.Reply(""))) return true;
  if (StartsWith(topic, topics_.prefix())) return false;
  return !settings_.home_assistant || !StartsWith(topic, settings_.discovery_prefix + "/");
}

bool CommandHandler::Authenticate(const CommandMessage& message, Request& request) {
  if (message.key_id.empty() && !settings_.require_signatures) return true;
  const auto key = settings_.signing_keys.find(message.key_id);
  const bool valid =
      key != settings_.signing_keys.end() &&
      SignatureMatches(SignMessage(key->second, message.topic, message.payload), message.signature);
  if (!valid) {
    // Not journaled: an unsigned request must not claim a request id. Nor
    // may it have the site publish where it likes.
    request.reply_to.topic = request.id_given ? topics_.Reply(request.id) : "";
    Refuse(request, kBadSignature, "the request is unsigned or its signature does not match",
           false);
    return false;
  }
  request.who = message.key_id;
  request.reply_to.key_id = message.key_id;
  return true;
}

// The earlier of the message's expiry and the request's deadline field
// (Unix seconds, or "YYYY-MM-DDTHH:MM:SS[.fff]Z").
std::optional<int64_t> CommandHandler::Deadline(const json& body, const CommandMessage& message) {
  std::optional<int64_t> deadline;
  if (message.expiry_s) deadline = clock_.NowMs() + int64_t{*message.expiry_s} * 1000;
  const auto field = body.find("deadline");
  if (field == body.end()) return deadline;
  int64_t at = 0;
  if (field->is_number()) {
    const double seconds = field->get<double>();
    at = seconds >= 0 && seconds <= kLastDeadlineS ? static_cast<int64_t>(seconds * 1000) : 0;
  } else if (!field->is_string() || !ParseRfc3339Utc(field->get<std::string>(), at)) {
    // A deadline that cannot be read is taken as passed: never act late.
    at = 0;
  }
  return deadline ? std::min(*deadline, at) : at;
}

bool CommandHandler::AnswerRepeat(const Request& request) {
  CommandRecord record{request.id, request.who, request.what, 0, "", clock_.NowMs()};
  CommandRecord earlier;
  std::lock_guard<std::mutex> lock(waiting_mutex_);
  if (journal_.Begin(record, &earlier)) return false;
  if (earlier.reply.empty()) {
    waiting_[request.id].push_back(request.reply_to);
  } else {
    Send(request.reply_to, earlier.reply);
  }
  return true;
}

void CommandHandler::Run(Request& request, LineAction action, std::shared_ptr<json> data) {
  Clock& clock = clock_;
  const std::optional<int64_t> deadline = request.deadline_ms;
  // Checked again on the line's thread: a command that waited in the queue
  // past its deadline is not carried out late either.
  LineAction guarded = [&clock, deadline, action](ZarvoLine* line, int32_t address) {
    if (deadline && clock.NowMs() > *deadline) return kExpired;
    return action(line, address);
  };
  auto done = [this, request, data](int32_t result) {
    Reply reply{request.id, request.name, result, "", *data};
    if (result == kExpired) reply.error = "the deadline passed while the command waited";
    Complete(request, reply, true);
    std::lock_guard<std::mutex> lock(waiting_mutex_);
    if (--running_ == 0) idle_.notify_all();
  };
  {
    std::lock_guard<std::mutex> lock(waiting_mutex_);
    ++running_;
  }
  if (!runner_.Submit(RemoteCommand{request.controller, "mqtt:" + request.who, request.what,
                                    std::move(guarded), std::move(done)})) {
    {
      std::lock_guard<std::mutex> lock(waiting_mutex_);
      --running_;
    }
    Refuse(request, kUnknownController, "no controller " + request.controller, true);
  }
}

void CommandHandler::WaitIdle() {
  std::unique_lock<std::mutex> lock(waiting_mutex_);
  idle_.wait(lock, [this] { return running_ == 0; });
}

void CommandHandler::Refuse(const Request& request, int32_t result, const std::string& why,
                            bool journal) {
  zarvod::LogWarning("mqtt: command " + request.name + " " + request.id + " refused: " + why);
  Complete(request, Reply{request.id, request.name, result, why, nullptr}, journal);
}

void CommandHandler::Complete(const Request& request, const Reply& reply, bool journal) {
  const std::string payload = ReplyPayload(reply);
  std::vector<Destination> repeats;
  {
    std::lock_guard<std::mutex> lock(waiting_mutex_);
    if (journal) {
      // The journal keeps no PIN a read returned; a repeat is answered with
      // what the journal kept.
      Reply kept = reply;
      kept.data = Redacted(reply.data);
      journal_.Finish(request.id, reply.result, ReplyPayload(kept));
    }
    if (auto it = waiting_.find(request.id); it != waiting_.end()) {
      repeats = std::move(it->second);
      waiting_.erase(it);
    }
  }
  Send(request.reply_to, payload);
  for (const Destination& to : repeats) Send(to, payload);
}

void CommandHandler::Send(const Destination& to, const std::string& payload) {
  if (to.topic.empty()) return;
  ReplyMessage reply{to.topic, payload, to.correlation_data, "", "", false};
  if (!to.key_id.empty()) {
    reply.key_id = to.key_id;
    reply.signature = SignMessage(settings_.signing_keys.at(to.key_id), to.topic, payload);
  }
  send_(reply);
}

}  // namespace zarvo::mqtt
