// Event log commands against a scripted line: converting stored records,
// block reads with empty slots, single-record reads, clear and restore.
#include "commands/event_log.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "commands/command_codes.h"
#include "commands/event_format.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;

const Bytes kSample = {0x07, 0x03, 0x05, 0x14, 0x07, 0x09, 0x01, 0x02,
                       0x00, 0x01, 0xE2, 0x40, 0x00, 0x00, 0x00, 0x00};

EventRecord Filled() {
  EventRecord r;
  std::memset(&r, '#', sizeof r);
  r.value1 = r.value2 = -7;
  return r;
}

// A stored record whose first byte (the year) is `year`.
Bytes Stored(uint8_t year, uint8_t value1 = 0) {
  Bytes r(16, 0);
  r[0] = year;
  r[1] = 0x01;
  r[6] = value1;
  return r;
}

void ExpectRecord(const EventRecord& r, const char* number1, const char* number2, const char* date,
                  const char* time, int32_t value1, int32_t value2) {
  EXPECT_STREQ(r.number1, number1);
  EXPECT_STREQ(r.number2, number2);
  EXPECT_STREQ(r.date, date);
  EXPECT_STREQ(r.time, time);
  EXPECT_EQ(r.value1, value1);
  EXPECT_EQ(r.value2, value2);
}

bool Untouched(const EventRecord& r) {
  const EventRecord filled = Filled();
  return std::memcmp(&r, &filled, sizeof r) == 0;
}

TEST(EventFormatTest, ConvertsEveryFieldAndLeavesTheRestOfEachText) {
  EventRecord r = Filled();
  FormatEvent(kSample.data(), r);
  ExpectRecord(r, "00123456", "00000000", "2007-03-05", "14:07:09", 1, 2);
  EXPECT_EQ(r.date[11], '#');  // the caller's characters after the terminator stay
  EXPECT_EQ(r.number1[9], '#');

  const Bytes odd = {0x1A, 0xFF, 0x00, 0x9F, 0x00, 0xA0, 0xFF, 0x80,
                     0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01};
  FormatEvent(odd.data(), r);  // unsigned bytes; non-BCD shows its hex digits
  ExpectRecord(r, "16777215", "00000001", "201A-FF-00", "9F:00:A0", 255, 128);
}

TEST(EventFormatTest, SeparatorBytesPlayNoPart) {
  Bytes marked = kSample;
  marked[8] = 0xFF;
  marked[12] = 0xFF;
  EventRecord plain = Filled(), with_marks = Filled();
  FormatEvent(kSample.data(), plain);
  FormatEvent(marked.data(), with_marks);
  EXPECT_EQ(std::memcmp(&plain, &with_marks, sizeof plain), 0);
}

class EventLogTest : public ::testing::Test {
 protected:
  // Reads block `block` into records_ after the reply with `payload`.
  int32_t ReadBlock(const Bytes& payload, int32_t block = 0) {
    t_.Reply(1, kCmdReadEventBlock, payload);
    for (EventRecord& r : records_) r = Filled();
    return ReadRecordOfBlock(t_.line(), 1, block, records_.data());
  }

  ScriptedLine t_;
  std::vector<EventRecord> records_ = std::vector<EventRecord>(200);
};

TEST_F(EventLogTest, EmptySlotsAreSkippedAndTheRestPacked) {
  Bytes payload = kSample;
  Bytes empty_slot(16, 0x33);  // only bytes 0 to 3 decide
  std::fill(empty_slot.begin(), empty_slot.begin() + 4, 0);
  payload.insert(payload.end(), empty_slot.begin(), empty_slot.end());
  const Bytes third = Stored(0x08, 9);
  payload.insert(payload.end(), third.begin(), third.end());

  EXPECT_EQ(ReadBlock(payload), 2);
  ExpectRecord(records_[0], "00123456", "00000000", "2007-03-05", "14:07:09", 1, 2);
  EXPECT_STREQ(records_[1].date, "2008-01-00");
  EXPECT_EQ(records_[1].value1, 9);
  EXPECT_TRUE(Untouched(records_[2]));
}

// `count` records of the given year byte, then `tail` loose bytes.
Bytes Records(int count, uint8_t year, size_t tail = 0) {
  Bytes payload;
  for (int i = 0; i < count; ++i) {
    const Bytes r = Stored(year);
    payload.insert(payload.end(), r.begin(), r.end());
  }
  payload.insert(payload.end(), tail, 0x55);
  return payload;
}

TEST_F(EventLogTest, BlockCountsWholeNonEmptyRecordsUpTo192) {
  Bytes hour_only(16, 0);
  hour_only[3] = 0x01;  // bytes 0 to 3 decide, the hour among them
  const struct {
    const char* name;
    Bytes payload;
    int32_t block;  // the request carries the 0x80 flag and the block's low byte
    int32_t count;
  } cases[] = {
      {"empty payload", {}, 0x107, 0},
      {"hour only", hour_only, 0, 1},
      {"partial record at the end", Records(2, 0x01, 8), 2, 2},
      {"4000 bytes", Records(250, 0x01), 0xFF, 192},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadBlock(c.payload, c.block), c.count);
    EXPECT_EQ(t_.transport().LastBody(),
              (Bytes{0x80, 0x01, 0x09, 0x80, static_cast<uint8_t>(c.block)}));
    EXPECT_TRUE(Untouched(records_[static_cast<size_t>(c.count)]));
  }
}

TEST_F(EventLogTest, SingleReadsSendTheirCodeAndConvertWhatCameBack) {
  const struct {
    uint8_t code;
    int32_t (*read)(Line&, int32_t, EventRecord&);
  } reads[] = {{kCmdReadEvent, ReadOne}, {kCmdNextEvent, MoveNext}};
  const struct {
    Bytes payload;
    const char *number1, *date, *time;
    int32_t value1, value2;
  } replies[] = {
      {kSample, "00123456", "2007-03-05", "14:07:09", 1, 2},
      {{}, "00000000", "2000-00-00", "00:00:00", 0, 0},  // empty: not the request either
      {{0x07, 0x03, 0x05}, "00000000", "2007-03-05", "00:00:00", 0, 0},  // the rest reads as 0
  };
  for (const auto& s : reads) {
    for (const auto& reply : replies) {
      SCOPED_TRACE(::testing::Message()
                   << "code " << int{s.code} << ", " << reply.payload.size() << " bytes");
      ScriptedLine t;
      t.Reply(1, s.code, reply.payload);
      EventRecord r = Filled();
      EXPECT_EQ(s.read(t.line(), 0x101, r), kOk);
      EXPECT_EQ(t.transport().LastBody(), (Bytes{0x80, 0x01, s.code}));
      ExpectRecord(r, reply.number1, "00000000", reply.date, reply.time, reply.value1,
                   reply.value2);
    }
  }
}

TEST_F(EventLogTest, FailedSingleReadLeavesTheRecord) {
  t_.Reply(1, kCmdNextEvent, kSample, 1);
  t_.Reply(1, kCmdReadEvent, kSample);  // echoes the other code
  EventRecord r = Filled();
  EXPECT_EQ(MoveNext(t_.line(), 1, r), kRefused);
  EXPECT_EQ(MoveNext(t_.line(), 1, r), kMismatch);
  EXPECT_TRUE(Untouched(r));
}

TEST_F(EventLogTest, ClearCarriesTheConfirmationWordRestoreNothing) {
  t_.Reply(2, kCmdClearEvents);
  EXPECT_EQ(ClearRecord(t_.line(), 2), kOk);
  EXPECT_EQ(t_.transport().LastBody(), (Bytes{0x80, 0x02, 0x0F, 0x3C, 0xC3, 0x94, 0x6B}));
  t_.Reply(2, kCmdRestoreEvents, {}, 3);
  EXPECT_EQ(RestoreRecord(t_.line(), 2), kRefused);
  EXPECT_EQ(t_.transport().LastBody(), (Bytes{0x80, 0x02, 0x10}));
}

}  // namespace
}  // namespace zarvo
