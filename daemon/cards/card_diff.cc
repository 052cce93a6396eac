#include "card_diff.h"

namespace zarvod::cards {
namespace {

ControllerPlan DiffController(const ControllerRef& controller, const CardList& wanted,
                              const StoredCards& written) {
  ControllerPlan plan{controller, {}};
  for (const auto& [key, stored] : written) {
    if (!wanted.contains(key)) plan.changes.push_back({ChangeKind::kRemove, stored.entry, {}});
  }
  for (const auto& [key, entry] : wanted) {
    const auto it = written.find(key);
    if (it == written.end()) {
      plan.changes.push_back({ChangeKind::kAdd, entry, {}});
    } else if (!it->second.certain || !(it->second.entry == entry)) {
      plan.changes.push_back({ChangeKind::kChange, entry, it->second.entry});
    }
  }
  return plan;
}

std::string Count(size_t n, const char* what) { return std::to_string(n) + " to " + what; }

}  // namespace

size_t CardPlan::change_count() const {
  size_t n = 0;
  for (const ControllerPlan& c : controllers) n += c.changes.size();
  return n;
}

CardPlan Diff(const SiteLayout& site, const DesiredCards& desired, CardListStore& store) {
  static const CardList kNone;
  CardPlan plan;
  for (const ControllerRef& c : site.controllers) {
    const auto wanted = desired.by_controller.find(c.name);
    plan.controllers.push_back(DiffController(
        c, wanted == desired.by_controller.end() ? kNone : wanted->second, store.Written(c)));
  }
  return plan;
}

std::string FormatPlan(const CardPlan& plan) {
  std::string out;
  for (const ControllerPlan& c : plan.controllers) {
    size_t counts[3] = {0, 0, 0};
    std::string lines;
    for (const CardChange& change : c.changes) {
      ++counts[static_cast<int>(change.kind)];
      const std::string key = KeyText(change.entry.key);
      switch (change.kind) {
        case ChangeKind::kAdd: lines += "  + " + key + " " + FieldsText(change.entry); break;
        case ChangeKind::kChange: {
          const std::string what = ChangesText(change.before, change.entry);
          lines += "  ~ " + key + " " + (what.empty() ? "rewrite: last write unconfirmed" : what);
          break;
        }
        case ChangeKind::kRemove: lines += "  - " + key; break;
      }
      lines += "\n";
    }
    out += c.controller.name + " (line " + c.controller.line + ", address " +
           std::to_string(c.controller.address) + "): ";
    out += c.changes.empty() ? "in step\n"
                             : Count(counts[0], "add") + ", " + Count(counts[1], "change") + ", " +
                                   Count(counts[2], "remove") + "\n" + lines;
  }
  return out;
}

}  // namespace zarvod::cards
