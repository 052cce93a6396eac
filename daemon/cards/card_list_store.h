// What the daemon wrote to each controller's card list. Controllers cannot
// list their cards, so this record is the only view of what they hold; it is
// changed only after a controller confirmed a change, in the same
// transaction that journals the change.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "card_entry.h"

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

  virtual StoredCards Written(const std::string& controller) = 0;
  // Starts the journal of one apply run; returns its id.
  virtual int64_t BeginRun(const std::string& source, int64_t planned) = 0;
  // Journals one change of run `run` with the controller's result code and,
  // in the same transaction, updates what is written on `controller`.
  virtual void Record(int64_t run, const std::string& controller, const CardChange& change,
                      ChangeOutcome outcome, int32_t result) = 0;
  virtual void FinishRun(int64_t run, int64_t done, int64_t failed, bool interrupted) = 0;
};

}  // namespace zarvod::cards
