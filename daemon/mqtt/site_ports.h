// What the MQTT side needs from the rest of the daemon, as small interfaces
// the site, the journal and the clock implement. MQTT never touches a line:
// it hands a LineAction to the CommandRunner, whose line worker runs it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zarvoac.h"

namespace zarvo::mqtt {

// One journaled event. (controller, sequence) identifies it for good;
// `position` is its place in the journal's order over all controllers.
struct OutboxEvent {
  uint64_t position = 0;
  std::string controller;
  uint64_t sequence = 0;
  std::string line;
  std::string number1;  // first card number as the controller stores it
  std::string number2;  // second number
  int32_t value1 = 0;   // event kind and reader/door, as stored
  int32_t value2 = 0;
  std::string controller_time;  // "YYYY-MM-DDTHH:MM:SS", the controller's clock
  int64_t received_ms = 0;      // host time it reached the journal, Unix ms
  std::string raw_hex;          // the 16 stored bytes
  // What the site file names the values: words, the door (0: none) and the
  // direction ("in", "out"); empty words when the values are not named.
  std::string kind;
  int32_t door = 0;
  std::string direction;
};

// Events committed to the journal and not yet acknowledged by the broker.
class EventOutbox {
 public:
  virtual ~EventOutbox() = default;
  // Up to `limit` undelivered events with a position above `after`, in
  // journal order.
  virtual std::vector<OutboxEvent> Undelivered(uint64_t after, size_t limit) = 0;
  virtual void MarkDelivered(const OutboxEvent& event) = 0;
  // `wake` is called, from any thread, after new events are committed.
  virtual void SetListener(std::function<void()> wake) = 0;
};

struct ControllerInfo {
  std::string name;
  std::string line;
  int32_t address = 0;
  std::vector<std::string> doors;  // door names, index = door number
  bool online = false;
  std::string version;
  int64_t last_seen_ms = 0;  // 0: never answered
};

// The site's controllers as configured, with their live status.
class SiteDirectory {
 public:
  virtual ~SiteDirectory() = default;
  virtual std::vector<ControllerInfo> Controllers() = 0;
  // Names of controllers the site had before and no longer has, whose
  // retained status and discovery messages are to be cleared.
  virtual std::vector<std::string> FormerControllers() { return {}; }
  // `changed` is called, from any thread, with a controller whose status changed.
  virtual void SetListener(std::function<void(const ControllerInfo&)> changed) = 0;
};

// Work for one controller, run by its line's worker thread with the line
// and the controller's bus address. Returns a library result code.
using LineAction = std::function<int32_t(ZarvoLine* line, int32_t address)>;

// A command for the site's queue.
struct RemoteCommand {
  std::string controller;
  std::string who;   // for the site's audit trail
  std::string what;  // the command's name and request
  LineAction action;
  // Called exactly once: with the action's result on the line's thread, or
  // with ZARVO_E_NOT_OPEN when the line stopped before running it.
  std::function<void(int32_t result)> done;
};

// The site's command queue. Returns false, calling nothing, for an unknown
// controller.
class CommandRunner {
 public:
  virtual ~CommandRunner() = default;
  virtual bool Submit(RemoteCommand command) = 0;
};

// One remote command, as the audit trail keeps it.
struct CommandRecord {
  std::string request_id;
  std::string who;
  std::string what;  // the command name and its request, JSON
  int32_t result = 0;
  std::string reply;  // the reply payload; empty while the command runs
  int64_t at_ms = 0;
};

// The journal's command table: who asked what, and the reply they got.
class CommandJournal {
 public:
  virtual ~CommandJournal() = default;
  // Records a command before it runs. When `record.request_id` is already
  // known, records nothing, copies the earlier record to `earlier` and
  // returns false.
  virtual bool Begin(const CommandRecord& record, CommandRecord* earlier) = 0;
  virtual void Finish(const std::string& request_id, int32_t result, const std::string& reply) = 0;
};

// Wall-clock time in Unix milliseconds: deadlines are wall-clock instants.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowMs() = 0;
};

class SystemClock final : public Clock {
 public:
  int64_t NowMs() override;
};

}  // namespace zarvo::mqtt
