#include "commands/remote_door.h"

#include "commands/command_codes.h"
#include "commands/door_command.h"
#include "result_codes.h"

namespace zarvo {
namespace {

// Sends `code` for one door, followed by `param` when `length` reaches it.
// The reply payload, if any, is not looked at.
int32_t SendDoorAction(Line& line, int32_t address, uint8_t code, int32_t door, int32_t length,
                       uint8_t param = 0) {
  if (!IsValidDoor(door)) return kInvalidArgument;
  DoorCommandBuffer body(address, code);
  body[3] = static_cast<uint8_t>(door);
  body[4] = param;
  return SendDoorCommand(line, body, length);
}

}  // namespace

// Only the low 8 bits of the open parameter are sent; the controller gives
// them their meaning.
int32_t RemoteOpenDoor(Line& line, int32_t address, int32_t door, int32_t open_param) {
  return SendDoorAction(line, address, kCmdOpenDoor, door, 5,
                        static_cast<uint8_t>(open_param & 0xFF));
}

int32_t RemoteCloseDoor(Line& line, int32_t address, int32_t door) {
  return SendDoorAction(line, address, kCmdCloseDoor, door, 4);
}

int32_t RemoteClearWarn(Line& line, int32_t address, int32_t door) {
  return SendDoorAction(line, address, kCmdClearAlarm, door, 4);
}

}  // namespace zarvo
