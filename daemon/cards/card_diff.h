// The changes that bring each controller from what was written to it to
// what the card-list file wants.
#pragma once

#include <string>
#include <vector>

#include "card_list_csv.h"
#include "card_list_store.h"
#include "site_layout.h"

namespace zarvod::cards {

struct ControllerPlan {
  ControllerRef controller;
  std::vector<CardChange> changes;  // removals first, then changes and additions
};

struct CardPlan {
  std::vector<ControllerPlan> controllers;  // in the site's order

  size_t change_count() const;
};

CardPlan Diff(const SiteLayout& site, const DesiredCards& desired, CardListStore& store);

// The plan as `zarvod acl diff` prints it: per controller a summary line,
// then one line per change ("+" add, "~" change, "-" remove).
std::string FormatPlan(const CardPlan& plan);

}  // namespace zarvod::cards
