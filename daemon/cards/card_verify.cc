#include "card_verify.h"

#include <mutex>
#include <optional>
#include <stdexcept>

#include "card_io.h"
#include "log/result_text.h"

namespace zarvod::cards {
namespace {

struct ControllerCards {
  ControllerRef controller;
  StoredCards written;
};

// What the read of one stored card says, or nothing when it matches.
std::optional<Drift> Check(const ControllerRef& c, const StoredCard& stored, int32_t result,
                           const CardEntry& found) {
  Drift drift{c.name, stored.entry.key, DriftKind::kMissing, ""};
  if (result != ZARVO_OK && result != ZARVO_E_REFUSED) {
    drift.kind = DriftKind::kUnreadable;
    drift.detail = "read failed (" + ResultText(result) + ")";
    return drift;
  }
  const bool present = result == ZARVO_OK;
  const bool same = present && found == stored.entry;
  if (!stored.certain) {
    drift.kind = DriftKind::kUnconfirmed;
    drift.detail = !present ? "not on the controller"
                   : same   ? "on the controller as written"
                            : "on the controller with " + ChangesText(stored.entry, found);
    return drift;
  }
  if (same) return std::nullopt;
  if (present) {
    drift.kind = DriftKind::kDifferent;
    drift.detail = ChangesText(stored.entry, found);
  } else {
    drift.detail = "not on the controller";
  }
  return drift;
}

// Makes the record say what the controller holds, so that the next diff
// plans the changes that put the card back (or take it away).
void Correct(CardListStore& store, const ControllerRef& c, const CardKey& key,
             const CardEntry* found, Drift& drift) {
  try {
    store.Observed(c, key, found);
  } catch (const std::exception& e) {
    drift.detail += " (not recorded: " + std::string(e.what()) + ")";
  }
}

}  // namespace

const char* DriftKindName(DriftKind kind) {
  switch (kind) {
    case DriftKind::kMissing: return "missing";
    case DriftKind::kDifferent: return "different";
    case DriftKind::kUnreadable: return "unreadable";
    case DriftKind::kUnconfirmed: return "unconfirmed";
  }
  return "?";
}

VerifyReport Verify(const SiteLayout& site, LineRunner& lines, CardListStore& store,
                    std::stop_token stop, const ProgressFn& progress) {
  std::vector<ControllerCards> all;
  Progress counts;
  for (const ControllerRef& c : site.controllers) {
    all.push_back({c, store.Written(c)});
    counts.total += all.back().written.size();
  }
  VerifyReport report;
  std::mutex mutex;
  auto note = [&](std::optional<Drift> drift) {
    std::lock_guard lock(mutex);
    ++counts.done;
    ++report.checked;
    if (drift) {
      ++counts.failed;
      report.drifts.push_back(std::move(*drift));
    }
    if (progress) progress(counts);
  };
  ForEachLineInParallel<ControllerCards>(
      all, [](const ControllerCards& c) { return c.controller.line; },
      [&](const std::vector<const ControllerCards*>& on_line) {
        for (const ControllerCards* c : on_line) {
          // A controller that does not answer is not asked for its other
          // cards: each read would wait out the card commands' long silence.
          bool answering = true;
          for (const auto& [card_key, stored] : c->written) {
            if (stop.stop_requested()) return;
            const CardKey key = card_key;  // captured below
            int32_t result = ZARVO_E_NO_REPLY;
            CardEntry found;
            if (answering) {
              const LineTask task{"read card " + KeyText(key) + " on " + c->controller.name,
                                  c->controller.address, [&](ZarvoLine* line) {
                                    return result =
                                               ReadCard(line, c->controller.address, key, found);
                                  }};
              result = lines.Run(c->controller.line, task);
              answering = result != ZARVO_E_NO_REPLY && result != ZARVO_E_NOT_OPEN;
            }
            found.flagged = stored.entry.flagged;  // not readable back
            std::optional<Drift> drift = Check(c->controller, stored, result, found);
            if (drift && drift->kind != DriftKind::kUnreadable) {
              Correct(store, c->controller, key, result == ZARVO_OK ? &found : nullptr, *drift);
            }
            note(std::move(drift));
          }
        }
      });
  report.interrupted = stop.stop_requested();
  return report;
}

std::string FormatVerifyReport(const VerifyReport& r) {
  std::string out = std::to_string(r.checked) + " cards read back, " +
                    std::to_string(r.drifts.size()) + " drifted" +
                    (r.interrupted ? " (interrupted)" : "") + "\n";
  bool recorded = false;
  for (const Drift& d : r.drifts) {
    out += "  " + d.controller + " " + KeyText(d.key) + " " + DriftKindName(d.kind) + ": " +
           d.detail + "\n";
    recorded = recorded || d.kind != DriftKind::kUnreadable;
  }
  if (recorded) {
    out +=
        "what was read is now the record: `zarvod acl diff` shows, and `zarvod acl apply` "
        "makes, the changes that put the card list back\n";
  }
  return out;
}

}  // namespace zarvod::cards
