// Command codes of the controller protocol (byte 2 of every command body).
#pragma once

#include <cstdint>

namespace zarvo {

inline constexpr uint8_t kCmdProbe = 1;
inline constexpr uint8_t kCmdChangeAddress = 2;
inline constexpr uint8_t kCmdReadVersion = 3;
inline constexpr uint8_t kCmdSetClock = 4;
inline constexpr uint8_t kCmdChangeBaud = 6;
inline constexpr uint8_t kCmdInitialise = 7;
inline constexpr uint8_t kCmdDeviceInformation = 8;
inline constexpr uint8_t kCmdReadEventBlock = 9;
inline constexpr uint8_t kCmdReadEvent = 11;
inline constexpr uint8_t kCmdNextEvent = 12;
inline constexpr uint8_t kCmdClearEvents = 15;
inline constexpr uint8_t kCmdRestoreEvents = 16;
inline constexpr uint8_t kCmdWriteCard = 18;
inline constexpr uint8_t kCmdDeleteCard = 19;
inline constexpr uint8_t kCmdWriteCardFlagged = 20;
inline constexpr uint8_t kCmdReadCard = 22;
inline constexpr uint8_t kCmdWriteDoubleCard = 23;
inline constexpr uint8_t kCmdDeleteDoubleCard = 24;
inline constexpr uint8_t kCmdReadDoubleCard = 27;
inline constexpr uint8_t kCmdWriteTimeTable = 28;
inline constexpr uint8_t kCmdReadTimeTable = 29;
inline constexpr uint8_t kCmdWriteHolidays = 30;
inline constexpr uint8_t kCmdReadHolidays = 31;
inline constexpr uint8_t kCmdWriteHolidayTimeTable = 32;
inline constexpr uint8_t kCmdReadHolidayTimeTable = 33;
inline constexpr uint8_t kCmdWriteAlwaysOpen = 34;
inline constexpr uint8_t kCmdReadAlwaysOpen = 35;
inline constexpr uint8_t kCmdLinkTimeTable = 36;
inline constexpr uint8_t kCmdLinkHolidayTimeTable = 38;
inline constexpr uint8_t kCmdLinkAlwaysOpen = 40;
inline constexpr uint8_t kCmdInterlock = 42;
inline constexpr uint8_t kCmdWriteChain = 44;
inline constexpr uint8_t kCmdReadChain = 45;
inline constexpr uint8_t kCmdDoorPassword = 46;
inline constexpr uint8_t kCmdWriteAccessMode = 48;
inline constexpr uint8_t kCmdReadAccessMode = 49;
inline constexpr uint8_t kCmdWriteAlarmMode = 50;
inline constexpr uint8_t kCmdReadAlarmMode = 51;
inline constexpr uint8_t kCmdDoorDelays = 52;
inline constexpr uint8_t kCmdDuressCode = 54;
inline constexpr uint8_t kCmdOpenDoor = 56;
inline constexpr uint8_t kCmdCloseDoor = 57;
inline constexpr uint8_t kCmdClearAlarm = 58;

// The 32-bit word that initialise and clear-log commands must carry, sent
// least significant byte first.
inline constexpr uint32_t kConfirmationWord = 0x6B94C33C;

// A readable name for a command code ("probe", "read-card"), or nullptr.
const char* CommandName(uint8_t code);

}  // namespace zarvo
