#include "card_io.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zarvod::cards {
namespace {

constexpr int32_t kRead = 0;
constexpr int32_t kWrite = 1;
constexpr int32_t kDelete = 2;

template <size_t N>
void PutNumber(char (&field)[N], uint32_t number) {
  std::snprintf(field, N, "%lu", static_cast<unsigned long>(number));
}

template <typename Record>
void PutCommon(Record& r, const CardEntry& e) {
  for (int i = 0; i < 32; ++i) r.flags[i] = ((e.flags >> i) & 1U) != 0 ? '1' : '0';
  r.value2 = e.value2;
  r.year = e.year;
  r.month = e.month;
  r.day = e.day;
}

template <typename Record>
void GetCommon(const Record& r, CardEntry& e) {
  e.flags = 0;
  for (int i = 0; i < 32; ++i) {
    if (r.flags[i] == '1') e.flags |= 1U << i;
  }
  e.value2 = r.value2;
  e.year = r.year;
  e.month = r.month;
  e.day = r.day;
}

CardRecord SingleRecord(const CardEntry& e) {
  CardRecord r{};
  PutNumber(r.cardNumber, e.key.number);
  std::snprintf(r.pin, sizeof r.pin, "%s", e.pin.c_str());
  r.value1 = e.value1;
  PutCommon(r, e);
  return r;
}

DoubleCardRecord DoubleRecord(const CardEntry& e) {
  DoubleCardRecord r{};
  PutNumber(r.cardNumber1, e.key.number);
  PutNumber(r.cardNumber2, e.key.number2);
  PutCommon(r, e);
  return r;
}

}  // namespace

int32_t WriteCard(ZarvoLine* line, int32_t address, const CardEntry& entry) {
  uint32_t ticks = 0;
  if (entry.key.is_double()) {
    DoubleCardRecord r = DoubleRecord(entry);
    return Zarvo_LineRegistryDouble(line, address, &r, &ticks, kWrite);
  }
  CardRecord r = SingleRecord(entry);
  return Zarvo_LineRegistry(line, address, &r, &ticks, kWrite, entry.flagged ? 1 : 0);
}

int32_t DeleteCard(ZarvoLine* line, int32_t address, const CardKey& key) {
  uint32_t ticks = 0;
  CardEntry entry;
  entry.key = key;
  if (key.is_double()) {
    DoubleCardRecord r = DoubleRecord(entry);
    return Zarvo_LineRegistryDouble(line, address, &r, &ticks, kDelete);
  }
  CardRecord r = SingleRecord(entry);
  return Zarvo_LineRegistry(line, address, &r, &ticks, kDelete, 0);
}

int32_t ReadCard(ZarvoLine* line, int32_t address, const CardKey& key, CardEntry& out) {
  uint32_t ticks = 0;
  CardEntry entry;
  entry.key = key;
  if (key.is_double()) {
    DoubleCardRecord r = DoubleRecord(entry);
    const int32_t result = Zarvo_LineRegistryDouble(line, address, &r, &ticks, kRead);
    if (result != ZARVO_OK) return result;
    entry.key.number = static_cast<uint32_t>(std::strtoul(r.cardNumber1, nullptr, 10));
    entry.key.number2 = static_cast<uint32_t>(std::strtoul(r.cardNumber2, nullptr, 10));
    GetCommon(r, entry);
  } else {
    CardRecord r = SingleRecord(entry);
    const int32_t result = Zarvo_LineRegistry(line, address, &r, &ticks, kRead, 0);
    if (result != ZARVO_OK) return result;
    entry = EntryFromRecord(r);
  }
  out = entry;
  return ZARVO_OK;
}

CardEntry EntryFromRecord(const CardRecord& r) {
  CardEntry entry;
  entry.key.number = static_cast<uint32_t>(std::strtoul(r.cardNumber, nullptr, 10));
  entry.pin.assign(r.pin, strnlen(r.pin, sizeof r.pin));
  for (char& c : entry.pin) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  entry.value1 = r.value1;
  GetCommon(r, entry);
  return entry;
}

}  // namespace zarvod::cards
