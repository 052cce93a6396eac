#include "commands/holiday_table.h"

#include <algorithm>

#include "commands/cached_table.h"
#include "commands/command_buffer.h"
#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "result_codes.h"

namespace zarvo {
namespace {

// 128 entries of a BCD month byte and a BCD day byte.
constexpr int32_t kEntryCount = 128;
constexpr int32_t kListBytes = 2 * kEntryCount;
constexpr int32_t kReadLength = 3;  // 80, address, command code
constexpr int32_t kHeaderLength = 3;
constexpr int32_t kLastMonth = 12;
constexpr int32_t kLastDay = 31;

using HolidayBody = CommandBuffer<512>;

int32_t ReadHolidayTable(Line& line, int32_t address) {
  HolidayBody body(address, kCmdReadHolidays);
  return ReadCachedTable(line, line.HolidayCache(), body.data(), body.capacity(), kReadLength,
                         kListBytes);
}

// Sends the cached list with one entry replaced; month and day are sent as
// given, without a range test.
int32_t WriteHolidayTable(Line& line, int32_t address, int32_t index, const int32_t* record) {
  TableCache& cache = line.HolidayCache();
  TableBlock list = cache.data;
  list[static_cast<size_t>(2 * index)] = EncodeBcd(record[0]);
  list[static_cast<size_t>(2 * index + 1)] = EncodeBcd(record[1]);

  HolidayBody body(address, kCmdWriteHolidays);
  return WriteCachedTable(line, cache, body.data(), body.capacity(), kHeaderLength, list,
                          kListBytes, kHolidayWriteSilenceMs);
}

// A month or day of 0 or out of range (an unused entry reads 00 00) is
// delivered as 1.
int32_t DecodeDateField(uint8_t byte, int32_t last_valid) {
  const int32_t value = DecodeBcd(byte);
  return value == 0 || value > last_valid ? 1 : value;
}

void DecodeHolidayEntry(const TableCache& cache, int32_t index, int32_t* record) {
  record[0] = DecodeDateField(cache.data[static_cast<size_t>(2 * index)], kLastMonth);
  record[1] = DecodeDateField(cache.data[static_cast<size_t>(2 * index + 1)], kLastDay);
}

}  // namespace

int32_t HolidayTable(Line& line, int32_t address, int32_t index, int32_t* record, int32_t mode) {
  index = std::clamp(index, 0, kEntryCount - 1);
  if (mode != kModeRead && mode != kModeWrite) return kInvalidArgument;
  const int32_t read = ReadHolidayTable(line, address);
  if (read != kOk) return read;
  if (mode == kModeWrite) return WriteHolidayTable(line, address, index, record);
  DecodeHolidayEntry(line.HolidayCache(), index, record);
  return kOk;
}

}  // namespace zarvo
