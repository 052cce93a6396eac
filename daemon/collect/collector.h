// Collects one controller's events exactly once. The steps carry the names
// they have in docs/daemon.md ("Exactly once"): Look, Reconcile, Take,
// Commit, Move. The invariant: the controller's read position moves past an
// event only after the journal has committed it, together with a bookmark
// that says where the read position stood.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "collect/log_view.h"
#include "journal/journal.h"
#include "zarvoac.h"

namespace zarvod {

enum class TurnResult {
  kIdle,           // every event the controller had is journaled
  kMore,           // stopped at the budget (or a stop request); more may wait
  kNoReply,        // an exchange failed; the bookmark still holds
  kJournalFailed,  // the journal could not be written; nothing was moved
};

class Collector {
 public:
  Collector(Journal& journal, int64_t controller_id, ZarvoLine* line, int address,
            std::string label);

  // One turn on the line: looks at the log and journals up to `budget`
  // events. Returns early, between two events, once `stop` is set.
  TurnResult Turn(int budget, const std::atomic<bool>& stop);

  const LogView& last_view() const { return view_; }

 private:
  bool Look();
  // Compares the log with the bookmark, records any gap, and returns the
  // position the bookmark's last record would have if the read position has
  // not moved past it yet (the only case in which Take must skip it).
  std::optional<int> Reconcile();
  bool AlreadyJournaled(const StoredRecord& at_position, std::optional<int> unmoved_at) const;
  void NoteGap(Gap gap);
  bool Read(bool move, StoredRecord& record);
  // Read, with a record that looks cut short read again at the read position.
  bool ReadChecked(bool move, StoredRecord& record);
  bool Commit(const StoredRecord& record, int position);

  Journal& journal_;
  int64_t controller_id_;
  ZarvoLine* line_;
  int address_;
  std::string label_;
  Bookmark bookmark_;
  LogView view_;
  bool loaded_ = false;
};

}  // namespace zarvod
