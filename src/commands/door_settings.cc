#include "commands/door_settings.h"

#include "commands/command_codes.h"
#include "commands/door_command.h"
#include "commands/door_setting_fields.h"
#include "commands/encodings.h"
#include "result_codes.h"

namespace zarvo {
namespace {

constexpr int32_t kRead = 0;
constexpr int32_t kWrite = 1;
constexpr size_t kCodeDigits = 8;
constexpr size_t kLockFlagCount = 32;

struct SettingCommand {
  uint8_t read_code;
  int32_t read_length;  // the alarm-mode read carries two zero bytes
  uint8_t write_code;
};

constexpr SettingCommand kAccessCommand = {kCmdReadAccessMode, 4, kCmdWriteAccessMode};
constexpr SettingCommand kAlarmCommand = {kCmdReadAlarmMode, 6, kCmdWriteAlarmMode};

// The setting bytes of a successful read. An empty payload carries no
// setting at all, so it reads as 0 0 rather than as the request body left
// in the buffer; a missing second byte reads as 0 from the zero-filled
// buffer.
std::array<uint8_t, 2> ReplySettingBytes(DoorCommandBuffer& body, int32_t payload_length) {
  if (payload_length <= 0) return {0, 0};
  return {body[0], body[1]};
}

template <typename Record, size_t N>
int32_t ReadSetting(Line& line, int32_t address, int32_t door, Record& settings,
                    const std::array<SettingField<Record>, N>& fields, const SettingCommand& cmd) {
  DoorCommandBuffer body(address, cmd.read_code);
  body[3] = static_cast<uint8_t>(door);
  int32_t payload_length = 0;
  const int32_t result = SendDoorCommand(line, body, cmd.read_length, &payload_length);
  if (result != kOk) return result;
  DecodeSettings(fields, ReplySettingBytes(body, payload_length), settings);
  return kOk;
}

template <typename Record, size_t N>
int32_t WriteSetting(Line& line, int32_t address, int32_t door, const Record& settings,
                     const std::array<SettingField<Record>, N>& fields, const SettingCommand& cmd) {
  DoorCommandBuffer body(address, cmd.write_code);
  body[3] = static_cast<uint8_t>(door);
  const std::array<uint8_t, 2> bytes = EncodeSettings(fields, settings);
  body[4] = bytes[0];
  body[5] = bytes[1];
  return SendDoorCommand(line, body, 6);
}

template <typename Record, size_t N>
int32_t ReadOrWriteSetting(Line& line, int32_t address, int32_t door, Record& settings,
                           int32_t mode, const std::array<SettingField<Record>, N>& fields,
                           const SettingCommand& cmd) {
  if (!IsValidDoor(door)) return kInvalidArgument;
  if (mode == kRead) return ReadSetting(line, address, door, settings, fields, cmd);
  if (mode == kWrite) return WriteSetting(line, address, door, settings, fields, cmd);
  return kInvalidArgument;
}

uint32_t LockFlagsToMask(const char* lock_flags) {
  uint32_t mask = 0;
  for (size_t i = 0; i < kLockFlagCount; ++i) {
    if (lock_flags[i] != 0) mask |= 1u << i;
  }
  return mask;
}

}  // namespace

int32_t PassWordOpenDoor(Line& line, int32_t address, int32_t door, char* password) {
  if (!IsValidDoor(door)) return kInvalidArgument;
  DoorCommandBuffer body(address, kCmdDoorPassword);
  body[3] = static_cast<uint8_t>(door);
  PackHexText(password, kCodeDigits, &body[4]);
  return SendDoorCommand(line, body, 8);
}

int32_t AccessLevel(Line& line, int32_t address, int32_t door, AccessLevelRecord& settings,
                    int32_t mode) {
  return ReadOrWriteSetting(line, address, door, settings, mode, kAccessFields, kAccessCommand);
}

int32_t WarnLevel(Line& line, int32_t address, int32_t door, WarnLevelRecord& settings,
                  int32_t mode) {
  return ReadOrWriteSetting(line, address, door, settings, mode, kAlarmFields, kAlarmCommand);
}

// Element 0 travels in the byte that names the door in other door commands;
// none of the four is range-tested.
int32_t Delay(Line& line, int32_t address, const int32_t* delay_values) {
  DoorCommandBuffer body(address, kCmdDoorDelays);
  for (size_t i = 0; i < 4; ++i) body[3 + i] = static_cast<uint8_t>(delay_values[i] & 0xFF);
  return SendDoorCommand(line, body, 7);
}

// The duress code belongs to the controller as a whole: no door byte.
int32_t MenaceCode(Line& line, int32_t address, char* menace_code) {
  DoorCommandBuffer body(address, kCmdDuressCode);
  PackHexText(menace_code, kCodeDigits, &body[3]);
  return SendDoorCommand(line, body, 7);
}

int32_t MutualLock(Line& line, int32_t address, int32_t door, const char* lock_flags) {
  if (!IsValidDoor(door)) return kInvalidArgument;
  DoorCommandBuffer body(address, kCmdInterlock);
  body[3] = static_cast<uint8_t>(door);
  WriteLittleEndian32(LockFlagsToMask(lock_flags), &body[4]);
  return SendDoorCommand(line, body, 8);
}

}  // namespace zarvo
