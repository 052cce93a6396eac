// The holiday list against a scripted line: the per-controller cache, the
// 259-byte write with its longer silence limit, clamping and decoding.
#include "commands/holiday_table.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "commands/command_codes.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using Date = std::array<int32_t, 2>;
using testing::ScriptedLine;

constexpr uint8_t kRead = kCmdReadHolidays;
constexpr uint8_t kWrite = kCmdWriteHolidays;

// A list whose entry i is month 1 + i % 12, day 1 + i % 28, in BCD.
Bytes List() {
  Bytes list(256);
  for (int i = 0; i < 128; ++i) {
    const int month = 1 + i % 12, day = 1 + i % 28;
    list[static_cast<size_t>(2 * i)] = static_cast<uint8_t>(16 * (month / 10) + month % 10);
    list[static_cast<size_t>(2 * i + 1)] = static_cast<uint8_t>(16 * (day / 10) + day % 10);
  }
  return list;
}

Date EntryOfList(int32_t i) { return {1 + i % 12, 1 + i % 28}; }

class HolidayTableTest : public ::testing::Test {
 protected:
  int32_t Call(int32_t index, int32_t mode = 0, int32_t address = 1) {
    return HolidayTable(t_.line(), address, index, date_.data(), mode);
  }
  size_t Sent() { return t_.transport().writes().size(); }

  ScriptedLine t_;
  Date date_{};
};

TEST_F(HolidayTableTest, AllEntriesOfOneControllerCostOneReadAndIndexesAreClamped) {
  t_.Reply(1, kRead, List());
  for (int32_t i = 0; i < 128; ++i) {
    ASSERT_EQ(Call(i), kOk);
    ASSERT_EQ(date_, EntryOfList(i)) << "entry " << i;
  }
  for (auto [index, entry] : {std::pair{-5, 0}, {128, 127}, {200, 127}}) {
    ASSERT_EQ(Call(index), kOk);
    EXPECT_EQ(date_, EntryOfList(entry)) << index;
  }
  EXPECT_EQ(Sent(), 1u);
  EXPECT_EQ(t_.transport().LastBody(), (Bytes{0x80, 0x01, kRead}));
}

TEST_F(HolidayTableTest, StoredDatesOutOfRangeReadAsFirstOfJanuary) {
  struct Case {
    uint8_t month, day;
    Date expected;
  };
  const Case cases[] = {
      {0x12, 0x31, {12, 31}}, {0x00, 0x00, {1, 1}},  {0x13, 0x32, {1, 1}},
      {0x0A, 0x01, {10, 1}},  {0x12, 0x00, {12, 1}}, {0x00, 0x15, {1, 15}},
  };
  Bytes list(256, 0);
  for (size_t i = 0; i < std::size(cases); ++i) {
    list[2 * i] = cases[i].month;
    list[2 * i + 1] = cases[i].day;
  }
  t_.Reply(1, kRead, list);
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_EQ(Call(static_cast<int32_t>(i)), kOk);
    EXPECT_EQ(date_, cases[i].expected) << "entry " << i;
  }
}

TEST_F(HolidayTableTest, WriteSendsTheWholeListWithOneEntryReplaced) {
  t_.Reply(1, kRead, List());
  t_.Reply(1, kWrite);
  date_ = {12, 24};
  ASSERT_EQ(Call(5, 1), kOk);
  Bytes expected = {0x80, 0x01, kWrite};
  Bytes list = List();
  list[10] = 0x12;
  list[11] = 0x24;
  expected.insert(expected.end(), list.begin(), list.end());
  ASSERT_EQ(Sent(), 2u);
  EXPECT_EQ(t_.transport().LastBody(), expected);

  ASSERT_EQ(Call(5), kOk);  // from the updated cache
  EXPECT_EQ(date_, (Date{12, 24}));
  EXPECT_EQ(Sent(), 2u);
}

TEST_F(HolidayTableTest, WriteWaitsOneSecondOfSilenceForItsReply) {
  t_.Reply(1, kRead, List());
  ASSERT_EQ(Call(0), kOk);
  const uint64_t before = t_.transport().waited_ms();
  t_.transport().Arrive(999, testing::ScriptedTransport::Reply(1, kWrite, 0, {}));
  EXPECT_EQ(Call(0, 1), kOk);  // a reply after 999 ms still counts

  t_.transport().Arrive(1000, testing::ScriptedTransport::Reply(1, kWrite, 0, {}));
  EXPECT_EQ(Call(0, 1), kNoReply);
  EXPECT_EQ(t_.transport().waited_ms() - before, 999u + 1000u);
}

TEST_F(HolidayTableTest, FailedReadLeavesTheRecordAndIsNeverWrittenBack) {
  const struct {
    const char* name;
    int reply_length;  // -1: no reply at all
    int32_t result;
  } cases[] = {{"no reply", -1, kNoReply},
               {"empty", 0, kShortReply},
               {"2 bytes", 2, kShortReply},
               {"255 bytes", 255, kShortReply}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLine t;
    Date date = {6, 6};
    size_t sent = 0;
    for (int32_t mode : {1, 0}) {  // no write follows, and the next call reads again
      if (c.reply_length >= 0) t.Reply(1, kRead, Bytes(static_cast<size_t>(c.reply_length), 0x11));
      EXPECT_EQ(HolidayTable(t.line(), 1, 0, date.data(), mode), c.result);
      EXPECT_EQ(date, (Date{6, 6}));
      EXPECT_TRUE(t.line().HolidayCache().IsEmpty());
      EXPECT_EQ(t.transport().writes().size(), ++sent);
    }
  }
}

TEST_F(HolidayTableTest, FailedWriteLeavesTheListAsRead) {
  t_.Reply(1, kRead, List());
  t_.Reply(1, kWrite, {}, 2);
  date_ = {9, 9};
  EXPECT_EQ(Call(3, 1), kRefused);
  ASSERT_EQ(Call(3), kOk);  // no new exchange to read it
  EXPECT_EQ(date_, EntryOfList(3));
  EXPECT_EQ(Sent(), 2u);
}

}  // namespace
}  // namespace zarvo
