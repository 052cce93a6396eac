// Makes the changes of a plan on the controllers: the lines in parallel,
// each change journaled with its outcome as soon as the controller answered,
// so that an interrupted apply, run again, redoes only what is left.
#pragma once

#include <stop_token>
#include <string>
#include <vector>

#include "card_diff.h"
#include "card_list_store.h"
#include "line_runner.h"
#include "per_line.h"

namespace zarvod::cards {

struct ApplyReport {
  int64_t run = 0;
  size_t done = 0;
  size_t uncertain = 0;  // sent without a valid reply; redone by the next apply
  size_t failed = 0;
  size_t skipped = 0;  // a controller stopped answering, or the run was stopped
  bool interrupted = false;
  std::vector<std::string> problems;  // one line per change that did not succeed
};

// `stop` ends the run after the changes in flight; `progress` is called
// after every change, from the lines' threads (one call at a time).
ApplyReport Apply(const CardPlan& plan, const std::string& source, LineRunner& lines,
                  CardListStore& store, std::stop_token stop, const ProgressFn& progress);

std::string FormatApplyReport(const ApplyReport& report);

// How a card write or delete ended, from the controller's result code.
ChangeOutcome OutcomeOf(int32_t result);

}  // namespace zarvod::cards
