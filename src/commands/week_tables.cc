#include "commands/week_tables.h"

#include <algorithm>

#include "commands/cached_table.h"
#include "commands/command_buffer.h"
#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "result_codes.h"

namespace zarvo {
namespace {

// A block is seven day segments of eight periods; a period is four BCD
// bytes: start hour, start minute, end hour, end minute.
constexpr int32_t kDayCount = 7;
constexpr int32_t kDayBytes = 32;
constexpr int32_t kBlockBytes = kDayCount * kDayBytes;
// 80, address, command code, table number.
constexpr int32_t kHeaderLength = 4;
constexpr int32_t kLastHour = 23;
constexpr int32_t kLastMinute = 59;

// The three kinds of table share one block format and one cache; the read
// code is part of the cache key, so they never stand for one another.
struct TableKind {
  int32_t table_count;
  uint8_t read_code;
  uint8_t write_code;
};

constexpr TableKind kWeekly{16, kCmdReadTimeTable, kCmdWriteTimeTable};
constexpr TableKind kHolidayTimes{8, kCmdReadHolidayTimeTable, kCmdWriteHolidayTimeTable};
constexpr TableKind kAlwaysOpen{8, kCmdReadAlwaysOpen, kCmdWriteAlwaysOpen};

// Clamps the day index in record[0] into 0..6, writes it back and returns it.
int32_t ClampDay(int32_t* record) {
  record[0] = std::clamp(record[0], 0, kDayCount - 1);
  return record[0];
}

int32_t ReadWeekTable(Line& line, int32_t address, int32_t table_no, uint8_t read_code) {
  CommandBuffer<256> body(address, read_code);
  body[3] = static_cast<uint8_t>(table_no);
  return ReadCachedTable(line, line.WeekTableCache(), body.data(), body.capacity(), kHeaderLength,
                         kBlockBytes);
}

// Sends the cached block with the caller's day replaced; the values are sent
// as given, without a range test.
int32_t WriteWeekTable(Line& line, int32_t address, int32_t table_no, int32_t* record,
                       uint8_t write_code) {
  const int32_t day = ClampDay(record);
  TableCache& cache = line.WeekTableCache();
  TableBlock block = cache.data;
  uint8_t* segment = block.data() + day * kDayBytes;
  for (int32_t i = 0; i < kDayBytes; ++i) segment[i] = EncodeBcd(record[1 + i]);

  CommandBuffer<256> body(address, write_code);
  body[3] = static_cast<uint8_t>(table_no);
  return WriteCachedTable(line, cache, body.data(), body.capacity(), kHeaderLength, block,
                          kBlockBytes, 0);
}

// An hour above 23 or a minute above 59 is delivered as 0.
int32_t DecodeTimeField(uint8_t byte, int32_t last_valid) {
  const int32_t value = DecodeBcd(byte);
  return value > last_valid ? 0 : value;
}

void DecodeWeekDay(const TableCache& cache, int32_t* record) {
  const int32_t day = ClampDay(record);
  const uint8_t* segment = cache.data.data() + day * kDayBytes;
  for (int32_t i = 0; i < kDayBytes; ++i) {
    const bool is_hour = i % 2 == 0;
    record[1 + i] = DecodeTimeField(segment[i], is_hour ? kLastHour : kLastMinute);
  }
}

int32_t RunWeekTable(Line& line, const TableKind& kind, int32_t address, int32_t table_no,
                     int32_t* record, int32_t mode) {
  if (table_no < 0 || table_no >= kind.table_count) table_no = 0;
  if (mode != kModeRead && mode != kModeWrite) return kInvalidArgument;
  const int32_t read = ReadWeekTable(line, address, table_no, kind.read_code);
  if (read != kOk) return read;
  if (mode == kModeWrite) return WriteWeekTable(line, address, table_no, record, kind.write_code);
  DecodeWeekDay(line.WeekTableCache(), record);
  return kOk;
}

}  // namespace

int32_t TimeTable(Line& line, int32_t address, int32_t table_no, int32_t* record, int32_t mode) {
  return RunWeekTable(line, kWeekly, address, table_no, record, mode);
}

// A holiday time table holds the same periods for every holiday, so only its
// day segment 0 is ever read or written.
int32_t HolidayTimeTable(Line& line, int32_t address, int32_t table_no, int32_t* record,
                         int32_t mode) {
  record[0] = 0;
  return RunWeekTable(line, kHolidayTimes, address, table_no, record, mode);
}

int32_t AlwaysOpenOfWeek(Line& line, int32_t address, int32_t table_no, int32_t* record,
                         int32_t mode) {
  return RunWeekTable(line, kAlwaysOpen, address, table_no, record, mode);
}

}  // namespace zarvo
