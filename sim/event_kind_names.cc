#include "event_kind_names.h"

#include "event_log.h"

namespace zarvo::sim {
namespace {

constexpr EventKindName kNames[] = {
    {kEventCardRegistered, "card registered", false},
    {kEventCardDeleted, "card deleted", false},
    {kEventClockSet, "clock set", false},
    {kEventDoorOpened, "door opened", true},
    {kEventDoorClosed, "door closed", true},
    {kEventAlarmCleared, "alarm cleared", true},
    {kEventSettingsChanged, "settings changed", false},
    {kEventCardPresented, "card presented", true},
};

}  // namespace

std::span<const EventKindName> EventKindNames() { return kNames; }

const EventKindName* FindEventKindName(uint8_t kind) {
  for (const EventKindName& name : kNames) {
    if (name.kind == kind) return &name;
  }
  return nullptr;
}

}  // namespace zarvo::sim
