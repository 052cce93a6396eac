// The tables of one virtual controller: 16 weekly time tables, 8 holiday
// time tables, 8 always-open tables, the 128-date holiday list and the
// chain table.
//
// A time table block is seven day segments, day 0 being Monday; a segment
// holds eight periods of four BCD bytes (start hour, start minute, end
// hour, end minute), 00:00-00:00 marking an unused period. A holiday time
// table uses segment 0 only. A holiday entry is a BCD month and day, 00 00
// marking an unused entry.
//
// The chain table is two groups of four entries and a 16-bit value (high
// byte first). A write carries the layout of both groups, but a host writes
// one group and sends the other as six zero bytes; so the controller stores
// each group whose six bytes are not all zero and keeps the other as it
// was. A write that carries no group at all is refused: it cannot tell which
// group was meant, and clearing both would lose the one not written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zarvo::sim {

inline constexpr size_t kWeekBlockBytes = 224;
inline constexpr size_t kHolidayListBytes = 256;
inline constexpr size_t kChainGroupBytes = 6;
inline constexpr size_t kChainTableBytes = 2 * kChainGroupBytes;

using WeekBlock = std::array<uint8_t, kWeekBlockBytes>;

enum class TableKind { kWeekly, kHolidayTimes, kAlwaysOpen };

class TableStore {
 public:
  // Factory settings: office hours in weekly table 0, a morning in holiday
  // time table 0, a lunch-time opening in always-open table 0, a few public
  // holidays and a chain in group 0.
  TableStore();

  // Table `number` of `kind`, or nullptr when the kind has no such table.
  WeekBlock* Find(TableKind kind, size_t number);

  // True when every period is unused or holds valid BCD times.
  static bool IsValidWeekBlock(std::span<const uint8_t, kWeekBlockBytes> block);
  // True when every entry is unused or a valid BCD month and day.
  static bool IsValidHolidayList(std::span<const uint8_t, kHolidayListBytes> list);

  // True when every chain entry is within 0..31.
  static bool IsValidChain(std::span<const uint8_t, kChainTableBytes> table);

  // Stores the groups a chain write carries; false (nothing stored) when it
  // carries none.
  bool WriteChain(std::span<const uint8_t, kChainTableBytes> table);

  std::array<uint8_t, kHolidayListBytes> holidays{};
  std::array<uint8_t, kChainTableBytes> chain{};

 private:
  std::array<WeekBlock, 16> weekly_{};
  std::array<WeekBlock, 8> holiday_times_{};
  std::array<WeekBlock, 8> always_open_{};
};

}  // namespace zarvo::sim
