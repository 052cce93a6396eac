// Links from doors to time tables, holiday time tables and always-open
// tables against a scripted line.
#include "commands/door_relations.h"

#include <gtest/gtest.h>

#include <vector>

#include "commands/command_codes.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;

// The 20-byte body of a slotted relation: `value` at `slot`, zeros elsewhere.
Bytes SlottedBody(uint8_t address, uint8_t code, uint8_t door, size_t slot, uint8_t value) {
  Bytes body(20, 0);
  body[0] = 0x80;
  body[1] = address;
  body[2] = code;
  body[3] = door;
  body[4 + slot] = value;
  return body;
}

TEST(DoorRelations, SlottedRelationsSendTheWholeLinkArea) {
  struct Case {
    int32_t door, slot, value;
    bool holiday;
    uint8_t code;
  } cases[] = {
      {1, 0, 5, false, 0x24},  {1, 15, 5, false, 0x24}, {3, 2, 0, true, 0x26},
      {0, 15, 12, true, 0x26},  // holiday time tables only go to 7; 12 is passed on
      {2, 7, 15, false, 0x24},
  };
  for (const Case& c : cases) {
    ScriptedLine t;
    t.Reply(4, c.code);
    const int32_t result = c.holiday
                               ? RelationHolidayTimeTable(t.line(), 4, c.door, c.slot, c.value)
                               : RelationTimeTable(t.line(), 4, c.door, c.slot, c.value);
    EXPECT_EQ(result, kOk);
    EXPECT_EQ(t.transport().LastBody(),
              SlottedBody(4, c.code, static_cast<uint8_t>(c.door), static_cast<size_t>(c.slot),
                          static_cast<uint8_t>(c.value)));
  }
}

TEST(DoorRelations, AlwaysOpenLinkBody) {
  ScriptedLine t;
  t.Reply(4, kCmdLinkAlwaysOpen);
  EXPECT_EQ(RelationAlwaysOpenOfWeek(t.line(), 4, 0, 9), kOk);
  EXPECT_EQ(t.transport().LastBody(), (Bytes{0x80, 0x04, 0x28, 0x00, 0x09}));
}

TEST(DoorRelations, OutOfRangeArgumentsSendNothing) {
  struct Case {
    int32_t door, slot, value;
  } cases[] = {{4, 0, 0},   {-1, 0, 0}, {256, 0, 0}, {0, 16, 0}, {0, -1, 0},
               {0, 256, 0}, {0, 0, 16}, {0, 0, -1},  {0, 0, 256}};
  ScriptedLine t;
  for (const Case& c : cases) {
    EXPECT_EQ(RelationTimeTable(t.line(), 1, c.door, c.slot, c.value), kInvalidArgument);
    EXPECT_EQ(RelationHolidayTimeTable(t.line(), 1, c.door, c.slot, c.value), kInvalidArgument);
    if (c.slot == 0) {
      EXPECT_EQ(RelationAlwaysOpenOfWeek(t.line(), 1, c.door, c.value), kInvalidArgument);
    }
  }
  EXPECT_TRUE(t.transport().writes().empty());
}

TEST(DoorRelations, RefusalIsReported) {
  ScriptedLine t;
  t.Reply(1, kCmdLinkTimeTable, {}, 2);
  EXPECT_EQ(RelationTimeTable(t.line(), 1, 0, 0, 1), kRefused);
  t.Reply(1, kCmdLinkAlwaysOpen, {}, 2);
  EXPECT_EQ(RelationAlwaysOpenOfWeek(t.line(), 1, 0, 1), kRefused);
}

}  // namespace
}  // namespace zarvo
