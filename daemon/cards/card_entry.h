// One entry of a controller's card list as the daemon keeps it: a single
// card (number2 == 0) or a double card (both numbers), with everything the
// controller stores for it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace zarvod::cards {

struct CardKey {
  uint32_t number = 0;
  uint32_t number2 = 0;  // 0 for a single card

  bool is_double() const { return number2 != 0; }
  auto operator<=>(const CardKey&) const = default;
};

struct CardEntry {
  CardKey key;
  std::string pin = "000000";  // six upper-case hex digits; single cards only
  uint32_t flags = 0;          // bit i = flag i
  int value1 = 0;              // single cards only
  int value2 = 0;
  int year = 2099;
  int month = 12;
  int day = 31;
  bool flagged = false;  // single cards: registered with the flagged write command

  bool operator==(const CardEntry&) const = default;
};

// A controller's cards by key.
using CardList = std::map<CardKey, CardEntry>;

// "00001234", or "00000001+00000002" for a double card.
std::string KeyText(const CardKey& key);
// The fields besides the key, e.g. "pin 12AB56 value1 1 value2 0 date 2099-12-31 flags 0,3".
std::string FieldsText(const CardEntry& entry);
// Only the fields that differ, e.g. "value2 3 -> 4, flags 0 -> 0,5".
std::string ChangesText(const CardEntry& before, const CardEntry& after);

}  // namespace zarvod::cards
