// Week time tables against a scripted line: the shared block cache, the
// read-modify-write of one day, clamping and the decoding of stored times.
#include "commands/week_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "request_parser.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using Record = std::array<int32_t, 33>;
using TableFn = int32_t (*)(Line&, int32_t, int32_t, int32_t*, int32_t);
using testing::ScriptedLine;

constexpr uint8_t kReadWeek = kCmdReadTimeTable;
constexpr uint8_t kWriteWeek = kCmdWriteTimeTable;

// A block as a controller answers it: seven day segments whose values
// differ from day to day and period to period, then 32 unused bytes.
Bytes Block() {
  Bytes block(256, 0);
  for (int day = 0; day < 7; ++day) {
    for (int p = 0; p < 8; ++p) {
      uint8_t* period = &block[static_cast<size_t>(32 * day + 4 * p)];
      period[0] = EncodeBcd(day + p);
      period[1] = EncodeBcd(7 * p);
      period[2] = EncodeBcd(12 + day);
      period[3] = EncodeBcd(59 - p);
    }
  }
  return block;
}

// The record DecodeWeekDay should give for `day` of Block().
Record DayOfBlock(int32_t day) {
  Record r{};
  r[0] = day;
  for (int p = 0; p < 8; ++p) {
    r[static_cast<size_t>(1 + 4 * p)] = day + p;
    r[static_cast<size_t>(2 + 4 * p)] = 7 * p;
    r[static_cast<size_t>(3 + 4 * p)] = 12 + day;
    r[static_cast<size_t>(4 + 4 * p)] = 59 - p;
  }
  return r;
}

class WeekTableTest : public ::testing::Test {
 protected:
  int32_t Call(TableFn fn, int32_t table, int32_t day, int32_t mode = 0, int32_t address = 1) {
    record_[0] = day;
    return fn(t_.line(), address, table, record_.data(), mode);
  }
  int32_t Read(int32_t table, int32_t day) { return Call(TimeTable, table, day); }
  size_t Sent() { return t_.transport().writes().size(); }
  Bytes BodyOf(size_t i) {
    Bytes body;
    sim::DecodeRequestFrame(t_.transport().writes()[i].data(), t_.transport().writes()[i].size(),
                            body);
    return body;
  }

  ScriptedLine t_;
  Record record_{};
};

TEST_F(WeekTableTest, SevenDaysOfOneTableCostOneReadExchange) {
  t_.Reply(1, kReadWeek, Block());
  for (int32_t day = 0; day < 7; ++day) {
    ASSERT_EQ(Read(2, day), kOk);
    EXPECT_EQ(record_, DayOfBlock(day)) << "day " << day;
  }
  EXPECT_EQ(Sent(), 1u);
  EXPECT_EQ(BodyOf(0), (Bytes{0x80, 0x01, kReadWeek, 0x02}));
}

TEST_F(WeekTableTest, EveryChangeOfKindTableOrAddressCostsARead) {
  struct Step {
    TableFn fn;
    int32_t table;
    int32_t address;
    uint8_t read_code;
    size_t sent_after;
  };
  const Step steps[] = {
      {TimeTable, 2, 1, kReadWeek, 1},
      {AlwaysOpenOfWeek, 2, 1, kCmdReadAlwaysOpen, 2},
      {TimeTable, 2, 1, kReadWeek, 3},
      {TimeTable, 2, 1, kReadWeek, 3},  // cached
      {TimeTable, 3, 1, kReadWeek, 4},
      {TimeTable, 3, 2, kReadWeek, 5},
      {HolidayTimeTable, 3, 2, kCmdReadHolidayTimeTable, 6},
      {TimeTable, 3, 0x102, kReadWeek, 7},  // address 2 again, but after another kind
  };
  for (const Step& s : steps) {
    const bool expects_read = s.sent_after > Sent();
    if (expects_read) t_.Reply(static_cast<uint8_t>(s.address), s.read_code, Block());
    ASSERT_EQ(Call(s.fn, s.table, 0, 0, s.address), kOk);
    EXPECT_EQ(Sent(), s.sent_after) << "table " << s.table << " code " << int{s.read_code};
  }
}

TEST_F(WeekTableTest, FailedReadEmptiesTheCacheLeavesTheRecordAndWritesNothing) {
  const struct {
    const char* name;
    int reply_length;  // -1: no reply at all
    int32_t result;
  } cases[] = {
      {"no reply", -1, kNoReply}, {"empty", 0, kShortReply}, {"223 bytes", 223, kShortReply}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLine t;
    Record r{};
    t.Reply(1, kReadWeek, Block());
    ASSERT_EQ(TimeTable(t.line(), 1, 2, r.data(), 0), kOk);
    // Table 4 fails: the cache must not keep standing for table 2.
    r.fill(77);
    r[0] = 9;
    size_t sent = 1;
    for (int32_t mode : {0, 1}) {  // in write mode no write follows
      if (c.reply_length >= 0)
        t.Reply(1, kReadWeek, Bytes(static_cast<size_t>(c.reply_length), 0x11));
      EXPECT_EQ(TimeTable(t.line(), 1, 4, r.data(), mode), c.result);
      EXPECT_EQ(r[0], 9);  // not clamped either
      EXPECT_EQ(r[1], 77);
      EXPECT_TRUE(t.line().WeekTableCache().IsEmpty());
      EXPECT_EQ(t.transport().writes().size(), ++sent);
    }
    t.Reply(1, kReadWeek, Block());
    ASSERT_EQ(TimeTable(t.line(), 1, 2, r.data(), 0), kOk);
    EXPECT_EQ(t.transport().writes().size(), 4u);
  }
}

TEST_F(WeekTableTest, WriteSendsTheWholeBlockWithOneDayReplaced) {
  t_.Reply(1, kReadWeek, Block());
  t_.Reply(1, kWriteWeek);
  for (int32_t i = 1; i <= 32; ++i) record_[static_cast<size_t>(i)] = i + 100;  // no range test
  ASSERT_EQ(Call(TimeTable, 5, 3, 1), kOk);

  Bytes expected = {0x80, 0x01, kWriteWeek, 0x05};
  Bytes block = Block();
  for (int32_t i = 0; i < 32; ++i) block[static_cast<size_t>(96 + i)] = EncodeBcd(i + 101);
  expected.insert(expected.end(), block.begin(), block.begin() + 224);
  ASSERT_EQ(Sent(), 2u);
  EXPECT_EQ(BodyOf(0), (Bytes{0x80, 0x01, kReadWeek, 0x05}));
  EXPECT_EQ(BodyOf(1), expected);

  // The cache now holds the block as written: no exchange to read it back.
  ASSERT_EQ(Read(5, 3), kOk);
  EXPECT_EQ(Sent(), 2u);
  EXPECT_EQ(record_[1], 1);  // 101 went out as 0x01
  ASSERT_EQ(Read(5, 4), kOk);
  EXPECT_EQ(record_, DayOfBlock(4));
}

TEST_F(WeekTableTest, FailedWriteLeavesTheBlockAsRead) {
  t_.Reply(1, kReadWeek, Block());
  t_.Reply(1, kWriteWeek, {}, 1);
  record_.fill(8);
  EXPECT_EQ(Call(TimeTable, 5, 2, 1), kRefused);
  ASSERT_EQ(Read(5, 2), kOk);
  EXPECT_EQ(Sent(), 2u);
  EXPECT_EQ(record_, DayOfBlock(2));
}

TEST_F(WeekTableTest, OutOfRangeTableAndDayNumbersAreClamped) {
  struct Case {
    TableFn fn;
    uint8_t read_code;
    int32_t table, day;
    uint8_t table_sent;
    int32_t day_read;
  };
  const Case cases[] = {
      {TimeTable, kReadWeek, 15, 0, 15, 0},
      {TimeTable, kReadWeek, 16, 0, 0, 0},
      {TimeTable, kReadWeek, -1, 0, 0, 0},
      {TimeTable, kReadWeek, 0, 9, 0, 6},
      {TimeTable, kReadWeek, 0, -3, 0, 0},
      {HolidayTimeTable, kCmdReadHolidayTimeTable, 7, 0, 7, 0},
      {HolidayTimeTable, kCmdReadHolidayTimeTable, 8, 0, 0, 0},
      {HolidayTimeTable, kCmdReadHolidayTimeTable, 1, 4, 1, 0},  // always day 0
      {AlwaysOpenOfWeek, kCmdReadAlwaysOpen, 8, 0, 0, 0},
      {AlwaysOpenOfWeek, kCmdReadAlwaysOpen, -1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "code " << int{c.read_code} << " table " << c.table << " day " << c.day);
    ScriptedLine t;
    t.Reply(1, c.read_code, Block());
    Record r{};
    r[0] = c.day;
    ASSERT_EQ(c.fn(t.line(), 1, c.table, r.data(), 0), kOk);
    EXPECT_EQ(t.transport().LastBody(), (Bytes{0x80, 0x01, c.read_code, c.table_sent}));
    EXPECT_EQ(r, DayOfBlock(c.day_read));
  }
}

TEST_F(WeekTableTest, BadModeSendsNothing) {
  EXPECT_EQ(Call(TimeTable, 0, 0, 2), kInvalidArgument);
  EXPECT_EQ(Call(AlwaysOpenOfWeek, 0, 0, -1), kInvalidArgument);
  EXPECT_EQ(Call(HolidayTimeTable, 0, 4, 2), kInvalidArgument);
  EXPECT_EQ(record_[0], 0);  // a holiday time table uses day 0 even so
  EXPECT_EQ(Sent(), 0u);
}

TEST_F(WeekTableTest, StoredTimesOutOfRangeReadAsZero) {
  Bytes block(256, 0);
  const uint8_t period[][4] = {
      {0x23, 0x59, 0x24, 0x60},  // highest valid hour and minute, then one past each
      {0x1A, 0x0F, 0x99, 0xFF},  // non-decimal nibbles count at face value
  };
  std::copy_n(period[0], 4, block.begin());
  std::copy_n(period[1], 4, block.begin() + 4);
  t_.Reply(1, kReadWeek, block);
  ASSERT_EQ(Read(0, 0), kOk);
  EXPECT_EQ((std::vector<int32_t>(record_.begin() + 1, record_.begin() + 9)),
            (std::vector<int32_t>{23, 59, 0, 0, 20, 15, 0, 0}));
}

}  // namespace
}  // namespace zarvo
