// What the daemon wrote to each controller's card list. Controllers cannot
// list their cards, so this record is the only view of what they hold: it
// is changed after a controller confirmed a change, in the same transaction
// that journals the change, whoever asked for it, and when a read-back found
// the controller holding something else. A controller's record is kept under
// its line and bus address, so that renaming it in the site file keeps it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "card_entry.h"
#include "site_layout.h"

namespace zarvod::cards {

struct StoredCard {
  CardEntry entry;
  // False when a write was sent but its outcome is unknown (no reply): the
  // card may or may not be on the controller, so it is written again while
  // wanted and deleted when no longer wanted.
  bool certain = true;
};

using StoredCards = std::map<CardKey, StoredCard>;

enum class ChangeKind { kAdd, kChange, kRemove };

struct CardChange {
  ChangeKind kind = ChangeKind::kAdd;
  CardEntry entry;   // the wanted entry; for a removal, the one written before
  CardEntry before;  // kChange only: the entry written before
};

// How a change ended on the controller.
enum class ChangeOutcome {
  kDone,       // the controller confirmed it (or, for a removal, has no such card)
  kUncertain,  // sent, but no valid reply: the controller may have made it
  kFailed,     // the controller refused it, or it was never sent
  kSkipped,    // not tried: the controller stopped answering earlier in the run
};

const char* ChangeKindName(ChangeKind kind);
const char* OutcomeName(ChangeOutcome outcome);

class CardListStore {
 public:
  virtual ~CardListStore() = default;

  virtual StoredCards Written(const ControllerRef& controller) = 0;
  // Starts the journal of one apply run; returns its id.
  virtual int64_t BeginRun(const std::string& source, int64_t planned) = 0;
  // Journals one change of run `run` with the controller's result code and,
  // in the same transaction, updates what is written on `controller`.
  virtual void Record(int64_t run, const ControllerRef& controller, const CardChange& change,
                      ChangeOutcome outcome, int32_t result) = 0;
  virtual void FinishRun(int64_t run, int64_t done, int64_t failed, bool interrupted) = 0;
  // What a read-back of card `key` found on `controller`: the entry it
  // holds, or nullptr when it holds none. Replaces what was recorded, so that
  // the next diff plans what puts the card list back.
  virtual void Observed(const ControllerRef& controller, const CardKey& key,
                        const CardEntry* found) = 0;
};

}  // namespace zarvod::cards
