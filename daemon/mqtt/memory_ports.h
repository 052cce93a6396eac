// In-memory stand-ins for the journal's outbox and command table, for tests
// and for running the MQTT side before a journal is wired to it.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

#include "site_ports.h"

namespace zarvo::mqtt {

class MemoryOutbox final : public EventOutbox {
 public:
  // Commits an event; its position is the next one. Returns that position.
  uint64_t Append(OutboxEvent event);
  std::vector<OutboxEvent> Undelivered(uint64_t after, size_t limit) override;
  void MarkDelivered(const OutboxEvent& event) override;
  void SetListener(std::function<void()> wake) override;
  size_t UndeliveredCount() const;
  // Waits until every event is delivered; false after `timeout_ms`.
  bool WaitAllDelivered(int timeout_ms);

 private:
  mutable std::mutex mutex_;
  std::vector<OutboxEvent> events_;  // index = position - 1
  std::set<uint64_t> undelivered_;
  std::function<void()> wake_;
  std::condition_variable delivered_;
};

class MemoryCommandJournal final : public CommandJournal {
 public:
  bool Begin(const CommandRecord& record, CommandRecord* earlier) override;
  void Finish(const std::string& request_id, int32_t result, const std::string& reply) override;
  std::vector<CommandRecord> Records() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, CommandRecord> records_;
};

}  // namespace zarvo::mqtt
