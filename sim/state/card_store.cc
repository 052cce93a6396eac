#include "state/card_store.h"

#include "commands/encodings.h"

namespace zarvo::sim {
namespace {

constexpr size_t kNumberAt = 3;
constexpr size_t kSecondNumberAt = 7;
constexpr size_t kPinAt = 7;
constexpr size_t kValue1At = 10;
constexpr size_t kValue2At = 11;
constexpr size_t kFlagsAt = 12;

bool IsBcd(uint8_t byte) { return (byte >> 4) <= 9 && (byte & 0x0F) <= 9; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

CardDate DateFromEntry(const uint8_t* entry) { return {entry[0], entry[1], entry[2]}; }

void PutDate(const CardDate& date, CardEntry& entry) {
  entry[0] = date.year;
  entry[1] = date.month;
  entry[2] = date.day;
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
  card.number = ReadBigEndian32(entry + kNumberAt);
  card.pin = {entry[kPinAt], entry[kPinAt + 1], entry[kPinAt + 2]};
  card.value1 = entry[kValue1At];
  card.value2 = entry[kValue2At];
  card.flags = ReadLittleEndian32(entry + kFlagsAt);
  card.registered_by = write_command;
  return card;
}

CardEntry EntryOf(const SingleCard& card) {
  CardEntry entry{};
  PutDate(card.date, entry);
  WriteBigEndian32(card.number, &entry[kNumberAt]);
  for (size_t i = 0; i < card.pin.size(); ++i) entry[kPinAt + i] = card.pin[i];
  entry[kValue1At] = card.value1;
  entry[kValue2At] = card.value2;
  WriteLittleEndian32(card.flags, &entry[kFlagsAt]);
  return entry;
}

DoubleCard DoubleCardFromEntry(const uint8_t* entry) {
  DoubleCard card;
  card.date = DateFromEntry(entry);
  card.number1 = ReadBigEndian32(entry + kNumberAt);
  card.number2 = ReadBigEndian32(entry + kSecondNumberAt);
  card.value2 = entry[kValue2At];
  card.flags = ReadLittleEndian32(entry + kFlagsAt);
  return card;
}

CardEntry EntryOf(const DoubleCard& card) {
  CardEntry entry{};
  PutDate(card.date, entry);
  WriteBigEndian32(card.number1, &entry[kNumberAt]);
  WriteBigEndian32(card.number2, &entry[kSecondNumberAt]);
  entry[kValue2At] = card.value2;
  WriteLittleEndian32(card.flags, &entry[kFlagsAt]);
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
