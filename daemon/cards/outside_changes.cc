#include "outside_changes.h"

#include "card_apply.h"

namespace zarvod::cards {

void RecordOutsideChanges(CardListStore& store, const std::string& source,
                          const ControllerRef& controller,
                          const std::vector<OutsideChange>& changes) {
  const int64_t run = store.BeginRun(source, static_cast<int64_t>(changes.size()));
  int64_t done = 0;
  for (const OutsideChange& c : changes) {
    const ChangeOutcome outcome = OutcomeOf(c.result);
    store.Record(run, controller, c.change, outcome, c.result);
    if (outcome == ChangeOutcome::kDone) ++done;
  }
  store.FinishRun(run, done, static_cast<int64_t>(changes.size()) - done, false);
}

}  // namespace zarvod::cards
