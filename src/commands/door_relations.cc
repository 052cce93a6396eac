#include "commands/door_relations.h"

#include "commands/command_codes.h"
#include "commands/door_command.h"
#include "result_codes.h"

namespace zarvo {
namespace {

constexpr int32_t kLinkCount = 16;
constexpr size_t kLinkArea = 4;  // body byte of slot 0

// Slots and link values run from 0 to 15, compared as whole values so that
// 256 is refused rather than cut to 0. Holiday and always-open tables are
// numbered 0 to 7, but 8 to 15 are passed on for the controller to judge.
bool IsValidLinkNumber(int32_t n) { return n >= 0 && n < kLinkCount; }

}  // namespace

// Every call sends the door's whole link area: the named slot holds the
// value, the other fifteen go as 0.
int32_t SendDoorRelation(Line& line, int32_t address, uint8_t code, int32_t door, int32_t slot,
                         int32_t link_value) {
  if (!IsValidDoor(door) || !IsValidLinkNumber(slot) || !IsValidLinkNumber(link_value)) {
    return kInvalidArgument;
  }
  DoorCommandBuffer body(address, code);
  body[3] = static_cast<uint8_t>(door);
  body[kLinkArea + static_cast<size_t>(slot)] = static_cast<uint8_t>(link_value);
  return SendDoorCommand(line, body, static_cast<int32_t>(kLinkArea) + kLinkCount);
}

int32_t RelationTimeTable(Line& line, int32_t address, int32_t door, int32_t slot,
                          int32_t link_value) {
  return SendDoorRelation(line, address, kCmdLinkTimeTable, door, slot, link_value);
}

int32_t RelationHolidayTimeTable(Line& line, int32_t address, int32_t door, int32_t slot,
                                 int32_t link_value) {
  return SendDoorRelation(line, address, kCmdLinkHolidayTimeTable, door, slot, link_value);
}

int32_t RelationAlwaysOpenOfWeek(Line& line, int32_t address, int32_t door, int32_t link_value) {
  if (!IsValidDoor(door) || !IsValidLinkNumber(link_value)) return kInvalidArgument;
  DoorCommandBuffer body(address, kCmdLinkAlwaysOpen);
  body[3] = static_cast<uint8_t>(door);
  body[4] = static_cast<uint8_t>(link_value);
  return SendDoorCommand(line, body, 5);
}

}  // namespace zarvo
