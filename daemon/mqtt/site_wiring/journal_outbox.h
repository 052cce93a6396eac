// The event outbox and the command log over the daemon's journal. The
// module's own tables come in through the journal's migrations ("mqtt"):
// which events the broker acknowledged, and each remote request with the
// reply it got.
#pragma once

#include "journal/event_kinds.h"
#include "journal/journal.h"
#include "journal/migrations.h"
#include "journal_watch.h"
#include "site_ports.h"

namespace zarvo::mqtt {

// Register before the journal opens.
std::vector<zarvod::Migration> MqttMigrations();

class JournalOutbox final : public EventOutbox {
 public:
  // Events go out with what `kinds` names them.
  JournalOutbox(zarvod::Journal& journal, JournalWatch& watch, zarvod::EventKinds kinds = {});
  std::vector<OutboxEvent> Undelivered(uint64_t after, size_t limit) override;
  void MarkDelivered(const OutboxEvent& event) override;
  void SetListener(std::function<void()> wake) override { watch_.OnEvents(std::move(wake)); }

 private:
  zarvod::Journal& journal_;
  JournalWatch& watch_;
  const zarvod::EventKinds kinds_;
  zarvod::Statement undelivered_, delivered_;
};

// Requests older than `retention_days` (0: kept for good) are deleted, at
// most once an hour as new ones come: what a request log grows by comes
// in with requests.
class JournalCommandLog final : public CommandJournal {
 public:
  explicit JournalCommandLog(zarvod::Journal& journal, int retention_days = 0);
  bool Begin(const CommandRecord& record, CommandRecord* earlier) override;
  void Finish(const std::string& request_id, int32_t result, const std::string& reply) override;

 private:
  void PruneOld(int64_t now_ms);

  zarvod::Journal& journal_;
  int retention_days_;
  int64_t next_prune_ms_ = 0;
  zarvod::Statement insert_, find_, finish_, prune_;
};

}  // namespace zarvo::mqtt
