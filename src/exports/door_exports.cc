#include "commands/door_relations.h"
#include "commands/door_settings.h"
#include "commands/remote_door.h"
#include "exports/export_support.h"
#include "zarvoac.h"

using zarvo::AllPresent;
using zarvo::RunLocked;
using zarvo::Session;

extern "C" {

ZARVO_API int32_t ZARVO_CALL Zarvo_PassWordOpenDoor(int32_t address, int32_t door,
                                                    char* password) {
  if (!AllPresent(password)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::PassWordOpenDoor(s, address, door, password); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_AccessLevel(int32_t address, int32_t door,
                                               AccessLevelRecord* settings, int32_t mode) {
  if (!AllPresent(settings)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::AccessLevel(s, address, door, *settings, mode); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_WarnLevel(int32_t address, int32_t door,
                                             WarnLevelRecord* settings, int32_t mode) {
  if (!AllPresent(settings)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::WarnLevel(s, address, door, *settings, mode); });
}

// The third argument is accepted for compatibility and never read.
ZARVO_API int32_t ZARVO_CALL Zarvo_Delay(int32_t address, const int32_t* delayValues,
                                         int32_t /*reserved*/) {
  if (!AllPresent(delayValues)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::Delay(s, address, delayValues); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_MenaceCode(int32_t address, char* menaceCode) {
  if (!AllPresent(menaceCode)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::MenaceCode(s, address, menaceCode); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_MutualLock(int32_t address, int32_t door,
                                              const char* lockFlags) {
  if (!AllPresent(lockFlags)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::MutualLock(s, address, door, lockFlags); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_RemoteOpenDoor(int32_t address, int32_t door,
                                                  int32_t openParam) {
  return RunLocked([&](Session& s) { return zarvo::RemoteOpenDoor(s, address, door, openParam); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_RemoteCloseDoor(int32_t address, int32_t door) {
  return RunLocked([&](Session& s) { return zarvo::RemoteCloseDoor(s, address, door); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_RemoteClearWarn(int32_t address, int32_t door) {
  return RunLocked([&](Session& s) { return zarvo::RemoteClearWarn(s, address, door); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_RelationTimeTable(int32_t address, int32_t door, int32_t slot,
                                                     int32_t linkValue) {
  return RunLocked(
      [&](Session& s) { return zarvo::RelationTimeTable(s, address, door, slot, linkValue); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_RelationHolidayTimeTable(int32_t address, int32_t door,
                                                            int32_t slot, int32_t linkValue) {
  return RunLocked([&](Session& s) {
    return zarvo::RelationHolidayTimeTable(s, address, door, slot, linkValue);
  });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_RelationAlwaysOpenOfWeek(int32_t address, int32_t door,
                                                            int32_t linkValue) {
  return RunLocked(
      [&](Session& s) { return zarvo::RelationAlwaysOpenOfWeek(s, address, door, linkValue); });
}

}  // extern "C"
