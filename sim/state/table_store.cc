#include "state/table_store.h"

#include <algorithm>

namespace zarvo::sim {
namespace {

constexpr size_t kDayBytes = 32;
constexpr size_t kPeriodBytes = 4;

uint8_t Bcd(int value) { return static_cast<uint8_t>(16 * (value / 10) + value % 10); }

// The value of a BCD byte, or -1 when a nibble is not a decimal digit.
int FromBcd(uint8_t byte) {
  const int high = byte >> 4, low = byte & 0x0F;
  return high > 9 || low > 9 ? -1 : 10 * high + low;
}

bool InRange(uint8_t byte, int low, int high) {
  const int value = FromBcd(byte);
  return value >= low && value <= high;
}

bool IsUnused(const uint8_t* bytes, size_t count) {
  return std::all_of(bytes, bytes + count, [](uint8_t b) { return b == 0; });
}

bool IsValidPeriod(const uint8_t* p) {
  return IsUnused(p, kPeriodBytes) || (InRange(p[0], 0, 23) && InRange(p[1], 0, 59) &&
                                       InRange(p[2], 0, 23) && InRange(p[3], 0, 59));
}

void SetPeriod(WeekBlock& block, size_t day, size_t period, int from_hour, int from_minute,
               int to_hour, int to_minute) {
  uint8_t* p = &block[day * kDayBytes + period * kPeriodBytes];
  p[0] = Bcd(from_hour);
  p[1] = Bcd(from_minute);
  p[2] = Bcd(to_hour);
  p[3] = Bcd(to_minute);
}

void SetHoliday(std::array<uint8_t, kHolidayListBytes>& list, size_t index, int month, int day) {
  list[2 * index] = Bcd(month);
  list[2 * index + 1] = Bcd(day);
}

}  // namespace

TableStore::TableStore() {
  for (size_t day = 0; day < 5; ++day) {
    SetPeriod(weekly_[0], day, 0, 8, 0, 18, 0);
    SetPeriod(always_open_[0], day, 0, 12, 0, 13, 30);
  }
  SetPeriod(weekly_[1], 5, 0, 9, 0, 13, 0);
  SetPeriod(holiday_times_[0], 0, 0, 10, 0, 14, 0);
  SetHoliday(holidays, 0, 1, 1);
  SetHoliday(holidays, 1, 5, 1);
  SetHoliday(holidays, 2, 10, 3);
  SetHoliday(holidays, 3, 12, 25);
  SetHoliday(holidays, 4, 12, 26);
  chain = {1, 2, 0, 0, 0x00, 0x1E, 0, 0, 0, 0, 0, 0};
}

WeekBlock* TableStore::Find(TableKind kind, size_t number) {
  std::span<WeekBlock> blocks = weekly_;
  if (kind == TableKind::kHolidayTimes) blocks = holiday_times_;
  if (kind == TableKind::kAlwaysOpen) blocks = always_open_;
  return number < blocks.size() ? &blocks[number] : nullptr;
}

bool TableStore::IsValidWeekBlock(std::span<const uint8_t, kWeekBlockBytes> block) {
  for (size_t offset = 0; offset < block.size(); offset += kPeriodBytes) {
    if (!IsValidPeriod(&block[offset])) return false;
  }
  return true;
}

bool TableStore::IsValidHolidayList(std::span<const uint8_t, kHolidayListBytes> list) {
  for (size_t offset = 0; offset < list.size(); offset += 2) {
    const bool unused = IsUnused(&list[offset], 2);
    if (!unused && !(InRange(list[offset], 1, 12) && InRange(list[offset + 1], 1, 31))) {
      return false;
    }
  }
  return true;
}

bool TableStore::IsValidChain(std::span<const uint8_t, kChainTableBytes> table) {
  constexpr uint8_t kHighestEntry = 31;
  for (size_t offset = 0; offset < table.size(); offset += kChainGroupBytes) {
    if (std::any_of(&table[offset], &table[offset + 4],
                    [](uint8_t e) { return e > kHighestEntry; })) {
      return false;
    }
  }
  return true;
}

bool TableStore::WriteChain(std::span<const uint8_t, kChainTableBytes> table) {
  bool carried = false;
  for (size_t offset = 0; offset < table.size(); offset += kChainGroupBytes) {
    if (IsUnused(&table[offset], kChainGroupBytes)) continue;
    std::copy_n(&table[offset], kChainGroupBytes, &chain[offset]);
    carried = true;
  }
  return carried;
}

}  // namespace zarvo::sim
