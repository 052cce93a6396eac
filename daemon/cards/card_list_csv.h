// The desired card lists of a site, read from a CSV file.
//
// The first line that is neither blank nor a comment ('#') names the
// columns, in any order:
//   number       card number, 1 to 4294967295 (required)
//   number2      second card number: the row is a double card
//   pin          six hex digits (single cards)          default 000000
//   value1       0 to 255 (single cards)                default 0
//   value2       0 to 255                               default 0
//   date         YYYY-MM-DD, 2000 to 2099               default 2099-12-31
//   flags        up to 32 characters 0/1, flag i at i   default all 0
//   flagged      yes/no: the flagged write command (single cards)
//   controllers  who gets the card, separated by blanks or ';': controller
//                names or line/address, group names, line names, or *
//                (required)
// Then one card per line; an empty field takes the default. Fields are not
// quoted. Every fault is reported as FILE:LINE:COLUMN: what is wrong, and a
// file with any fault yields no card lists at all.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "card_entry.h"
#include "site_layout.h"

namespace zarvod::cards {

struct DesiredCards {
  // Every controller of the site, also those that get no card.
  std::map<std::string, CardList> by_controller;
};

struct CardListParse {
  DesiredCards cards;
  std::vector<std::string> errors;  // "FILE:LINE:COLUMN: message"

  bool ok() const { return errors.empty(); }
};

CardListParse ParseCardList(std::string_view text, const std::string& file_name,
                            const SiteLayout& site);
CardListParse ReadCardListFile(const std::string& path, const SiteLayout& site);

}  // namespace zarvod::cards
