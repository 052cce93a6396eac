#include "commands/command_codes.h"

namespace zarvo {

const char* CommandName(uint8_t code) {
  switch (code) {
    case kCmdProbe: return "probe";
    case kCmdChangeAddress: return "change-address";
    case kCmdReadVersion: return "read-version";
    case kCmdSetClock: return "set-clock";
    case kCmdChangeBaud: return "change-baud";
    case kCmdInitialise: return "initialise";
    case kCmdDeviceInformation: return "device-information";
    case kCmdReadEventBlock: return "read-event-block";
    case kCmdReadEvent: return "read-event";
    case kCmdNextEvent: return "next-event";
    case kCmdClearEvents: return "clear-events";
    case kCmdRestoreEvents: return "restore-events";
    case kCmdWriteCard: return "write-card";
    case kCmdDeleteCard: return "delete-card";
    case kCmdWriteCardFlagged: return "write-card-flagged";
    case kCmdReadCard: return "read-card";
    case kCmdWriteDoubleCard: return "write-double-card";
    case kCmdDeleteDoubleCard: return "delete-double-card";
    case kCmdReadDoubleCard: return "read-double-card";
    case kCmdWriteTimeTable: return "write-time-table";
    case kCmdReadTimeTable: return "read-time-table";
    case kCmdWriteHolidays: return "write-holidays";
    case kCmdReadHolidays: return "read-holidays";
    case kCmdWriteHolidayTimeTable: return "write-holiday-time-table";
    case kCmdReadHolidayTimeTable: return "read-holiday-time-table";
    case kCmdWriteAlwaysOpen: return "write-always-open";
    case kCmdReadAlwaysOpen: return "read-always-open";
    case kCmdLinkTimeTable: return "link-time-table";
    case kCmdLinkHolidayTimeTable: return "link-holiday-time-table";
    case kCmdLinkAlwaysOpen: return "link-always-open";
    case kCmdInterlock: return "interlock";
    case kCmdWriteChain: return "write-chain";
    case kCmdReadChain: return "read-chain";
    case kCmdDoorPassword: return "door-password";
    case kCmdWriteAccessMode: return "write-access-mode";
    case kCmdReadAccessMode: return "read-access-mode";
    case kCmdWriteAlarmMode: return "write-alarm-mode";
    case kCmdReadAlarmMode: return "read-alarm-mode";
    case kCmdDoorDelays: return "door-delays";
    case kCmdDuressCode: return "duress-code";
    case kCmdOpenDoor: return "open-door";
    case kCmdCloseDoor: return "close-door";
    case kCmdClearAlarm: return "clear-alarm";
    default: return nullptr;
  }
}

}  // namespace zarvo
