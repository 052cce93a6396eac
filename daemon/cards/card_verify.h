// Reads back every card written to the controllers and reports where a
// controller's list has drifted from what was written. What a read found
// replaces the record of what was written, so the next diff and apply put
// the drifted cards back.
#pragma once

#include <stop_token>
#include <string>
#include <vector>

#include "card_list_store.h"
#include "line_runner.h"
#include "per_line.h"
#include "site_layout.h"

namespace zarvod::cards {

enum class DriftKind {
  kMissing,      // the controller does not have the card
  kDifferent,    // it has the card with other fields
  kUnreadable,   // the read failed: no reply, or the line is unavailable
  kUnconfirmed,  // the last write was never confirmed; what the read found
};

struct Drift {
  std::string controller;
  CardKey key;
  DriftKind kind = DriftKind::kMissing;
  std::string detail;
};

struct VerifyReport {
  size_t checked = 0;
  std::vector<Drift> drifts;
  bool interrupted = false;
};

VerifyReport Verify(const SiteLayout& site, LineRunner& lines, CardListStore& store,
                    std::stop_token stop, const ProgressFn& progress);

std::string FormatVerifyReport(const VerifyReport& report);
const char* DriftKindName(DriftKind kind);

}  // namespace zarvod::cards
