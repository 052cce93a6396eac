// Door commands: password, access and alarm modes, timings, duress code,
// interlocks, links to tables, and remote open, close and clear-alarm.
// Requests shorter than their command needs, door numbers above 3 and
// table links above 15 are refused.
#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "handlers.h"

namespace zarvo::sim {
namespace {

constexpr uint8_t kHighestTable = 15;
constexpr size_t kLinkCount = 16;

void Refuse(Reply& reply) { reply.status = kStatusRefused; }

// The door named in parameter 0 of a request that needs `param_count`
// parameters; nullptr, with the reply refused, when there is none.
DoorState* RequestedDoor(ControllerState& state, const Request& request, size_t param_count,
                         Reply& reply) {
  DoorState* door =
      request.param_count() >= param_count ? state.doors.Find(request.param(0)) : nullptr;
  if (door == nullptr) Refuse(reply);
  return door;
}

template <size_t N>
void CopyParams(const Request& request, size_t first, std::array<uint8_t, N>& dest) {
  for (size_t i = 0; i < N; ++i) dest[i] = request.param(first + i);
}

void SetPassword(ControllerState& state, const Request& request, Reply& reply) {
  if (DoorState* door = RequestedDoor(state, request, 5, reply)) {
    CopyParams(request, 1, door->password);
  }
}

// The access and alarm modes are two setting bytes each; the controller
// keeps them as sent and gives them back as sent.
template <std::array<uint8_t, 2> DoorState::*Setting>
void ReadSetting(ControllerState& state, const Request& request, Reply& reply) {
  if (DoorState* door = RequestedDoor(state, request, 1, reply)) {
    reply.payload.assign((door->*Setting).begin(), (door->*Setting).end());
  }
}

template <std::array<uint8_t, 2> DoorState::*Setting>
void WriteSetting(ControllerState& state, const Request& request, Reply& reply) {
  if (DoorState* door = RequestedDoor(state, request, 3, reply)) {
    CopyParams(request, 1, door->*Setting);
  }
}

// One timing value per door, door 0 first; there is no door byte.
void SetDelays(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < DoorStore::kDoorCount) return Refuse(reply);
  for (size_t i = 0; i < DoorStore::kDoorCount; ++i) state.doors.at(i).delay = request.param(i);
}

void SetDuressCode(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < state.doors.duress_code.size()) return Refuse(reply);
  CopyParams(request, 0, state.doors.duress_code);
}

void SetInterlock(ControllerState& state, const Request& request, Reply& reply) {
  if (DoorState* door = RequestedDoor(state, request, 5, reply)) {
    door->interlock = ReadLittleEndian32(&request.body[4]);
  }
}

// A link write carries all 16 link bytes of the door and replaces them.
template <std::array<uint8_t, kLinkCount> DoorState::*Links>
void SetLinks(ControllerState& state, const Request& request, Reply& reply) {
  DoorState* door = RequestedDoor(state, request, 1 + kLinkCount, reply);
  if (door == nullptr) return;
  std::array<uint8_t, kLinkCount> links{};
  CopyParams(request, 1, links);
  for (uint8_t table : links) {
    if (table > kHighestTable) return Refuse(reply);
  }
  door->*Links = links;
}

void SetAlwaysOpenLink(ControllerState& state, const Request& request, Reply& reply) {
  DoorState* door = RequestedDoor(state, request, 2, reply);
  if (door == nullptr) return;
  if (request.param(1) > kHighestTable) return Refuse(reply);
  door->always_open_link = request.param(1);
}

void OpenDoor(ControllerState& state, const Request& request, Reply& reply) {
  DoorState* door = RequestedDoor(state, request, 2, reply);
  if (door == nullptr) return;
  if (state.doors.InterlockHolds(request.param(0))) return Refuse(reply);
  door->open = true;
  door->open_param = request.param(1);
  state.LogEvent(kEventDoorOpened, request.param(0), 0, 0);
}

void CloseDoor(ControllerState& state, const Request& request, Reply& reply) {
  if (DoorState* door = RequestedDoor(state, request, 1, reply)) {
    door->open = false;
    state.LogEvent(kEventDoorClosed, request.param(0), 0, 0);
  }
}

void ClearAlarm(ControllerState& state, const Request& request, Reply& reply) {
  if (DoorState* door = RequestedDoor(state, request, 1, reply)) {
    door->alarm_raised = false;
    state.LogEvent(kEventAlarmCleared, request.param(0), 0, 0);
  }
}

}  // namespace

void RegisterDoorHandlers(HandlerTable& table) {
  table[kCmdDoorPassword] = SetPassword;
  table[kCmdReadAccessMode] = ReadSetting<&DoorState::access>;
  table[kCmdWriteAccessMode] = WriteSetting<&DoorState::access>;
  table[kCmdReadAlarmMode] = ReadSetting<&DoorState::alarm>;
  table[kCmdWriteAlarmMode] = WriteSetting<&DoorState::alarm>;
  table[kCmdDoorDelays] = SetDelays;
  table[kCmdDuressCode] = SetDuressCode;
  table[kCmdInterlock] = SetInterlock;
  table[kCmdLinkTimeTable] = SetLinks<&DoorState::time_table_links>;
  table[kCmdLinkHolidayTimeTable] = SetLinks<&DoorState::holiday_time_table_links>;
  table[kCmdLinkAlwaysOpen] = SetAlwaysOpenLink;
  table[kCmdOpenDoor] = OpenDoor;
  table[kCmdCloseDoor] = CloseDoor;
  table[kCmdClearAlarm] = ClearAlarm;
}

}  // namespace zarvo::sim
