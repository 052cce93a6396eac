// A controller's card list: single cards keyed by their number and
// double-card entries keyed by both numbers, with everything an entry
// carries. Both kinds share one capacity.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

#include "commands/card_entry.h"

namespace zarvo::sim {

// An entry's date as the controller keeps it: BCD year (last two digits),
// month and day.
struct CardDate {
  uint8_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;

  // A real calendar date with BCD digits only.
  bool IsValid() const;
};

struct SingleCard {
  uint32_t number = 0;
  CardDate date;
  std::array<uint8_t, 3> pin{};  // six hex digits, two per byte
  uint8_t value1 = 0;
  uint8_t value2 = 0;
  uint32_t flags = 0;         // bit i = flag i
  uint8_t registered_by = 0;  // the write command that stored it (18 or 20)
};

struct DoubleCard {
  uint32_t number1 = 0;
  uint32_t number2 = 0;
  CardDate date;
  uint8_t value2 = 0;
  uint32_t flags = 0;
};

// The 16-byte entries as they travel on the line.
using CardEntry = std::array<uint8_t, kCardEntrySize>;

SingleCard SingleCardFromEntry(const uint8_t* entry, uint8_t write_command);
CardEntry EntryOf(const SingleCard& card);
DoubleCard DoubleCardFromEntry(const uint8_t* entry);
CardEntry EntryOf(const DoubleCard& card);

class CardStore {
 public:
  static constexpr size_t kCapacity = 10000;

  // Stores or replaces the entry; false when the list is full and the entry
  // is not already in it.
  bool Put(const SingleCard& card);
  bool Put(const DoubleCard& card);

  const SingleCard* FindSingle(uint32_t number) const;
  const DoubleCard* FindDouble(uint32_t number1, uint32_t number2) const;

  // False when there was no such entry.
  bool RemoveSingle(uint32_t number);
  bool RemoveDouble(uint32_t number1, uint32_t number2);

  size_t size() const { return singles_.size() + doubles_.size(); }
  const std::map<uint32_t, SingleCard>& singles() const { return singles_; }
  const std::map<std::pair<uint32_t, uint32_t>, DoubleCard>& doubles() const { return doubles_; }

 private:
  using DoubleKey = std::pair<uint32_t, uint32_t>;

  std::map<uint32_t, SingleCard> singles_;
  std::map<DoubleKey, DoubleCard> doubles_;
};

}  // namespace zarvo::sim
