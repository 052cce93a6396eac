#include "state/card_store.h"

#include "commands/card_entry.h"
#include "commands/encodings.h"

namespace zarvo::sim {
namespace {

using L = CardEntryLayout;

bool IsBcd(uint8_t byte) { return (byte >> 4) <= 9 && (byte & 0x0F) <= 9; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

CardDate DateFromEntry(const uint8_t* entry) {
  const uint8_t* date = entry + L::kDateAt;
  return {date[0], date[1], date[2]};
}

void PutDate(const CardDate& date, CardEntry& entry) {
  entry[L::kDateAt] = date.year;
  entry[L::kDateAt + 1] = date.month;
  entry[L::kDateAt + 2] = date.day;
}

}  // namespace

bool CardDate::IsValid() const {
  if (!IsBcd(year) || !IsBcd(month) || !IsBcd(day)) return false;
  const int m = DecodeBcd(month);
  const int d = DecodeBcd(day);
  return m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(2000 + DecodeBcd(year), m);
}

SingleCard SingleCardFromEntry(const uint8_t* entry, uint8_t write_command) {
  SingleCard card;
  card.date = DateFromEntry(entry);
  card.number = ReadBigEndian32(entry + L::kNumberAt);
  card.pin = {entry[L::kPinAt], entry[L::kPinAt + 1], entry[L::kPinAt + 2]};
  card.value1 = entry[L::kValue1At];
  card.value2 = entry[L::kValue2At];
  card.flags = ReadLittleEndian32(entry + L::kFlagsAt);
  card.registered_by = write_command;
  return card;
}

CardEntry EntryOf(const SingleCard& card) {
  CardEntry entry{};
  PutDate(card.date, entry);
  WriteBigEndian32(card.number, &entry[L::kNumberAt]);
  for (size_t i = 0; i < card.pin.size(); ++i) entry[L::kPinAt + i] = card.pin[i];
  entry[L::kValue1At] = card.value1;
  entry[L::kValue2At] = card.value2;
  WriteLittleEndian32(card.flags, &entry[L::kFlagsAt]);
  return entry;
}

DoubleCard DoubleCardFromEntry(const uint8_t* entry) {
  DoubleCard card;
  card.date = DateFromEntry(entry);
  card.number1 = ReadBigEndian32(entry + L::kNumberAt);
  card.number2 = ReadBigEndian32(entry + L::kSecondNumberAt);
  card.value2 = entry[L::kValue2At];
  card.flags = ReadLittleEndian32(entry + L::kFlagsAt);
  return card;
}

CardEntry EntryOf(const DoubleCard& card) {
  CardEntry entry{};
  PutDate(card.date, entry);
  WriteBigEndian32(card.number1, &entry[L::kNumberAt]);
  WriteBigEndian32(card.number2, &entry[L::kSecondNumberAt]);
  entry[L::kValue2At] = card.value2;
  WriteLittleEndian32(card.flags, &entry[L::kFlagsAt]);
  return entry;
}

bool CardStore::Put(const SingleCard& card) {
  if (size() >= kCapacity && singles_.count(card.number) == 0) return false;
  singles_[card.number] = card;
  return true;
}

bool CardStore::Put(const DoubleCard& card) {
  const DoubleKey key{card.number1, card.number2};
  if (size() >= kCapacity && doubles_.count(key) == 0) return false;
  doubles_[key] = card;
  return true;
}

const SingleCard* CardStore::FindSingle(uint32_t number) const {
  const auto it = singles_.find(number);
  return it == singles_.end() ? nullptr : &it->second;
}

const DoubleCard* CardStore::FindDouble(uint32_t number1, uint32_t number2) const {
  const auto it = doubles_.find({number1, number2});
  return it == doubles_.end() ? nullptr : &it->second;
}

bool CardStore::RemoveSingle(uint32_t number) { return singles_.erase(number) != 0; }

bool CardStore::RemoveDouble(uint32_t number1, uint32_t number2) {
  return doubles_.erase({number1, number2}) != 0;
}

}  // namespace zarvo::sim
