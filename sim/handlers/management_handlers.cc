// Controller management commands: probe, change of address, version, clock,
// line speed, initialise and device values.
#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "handlers.h"

namespace zarvo::sim {
namespace {

constexpr uint8_t kHighestBaudCode = 4;  // 57600 bit/s

bool IsBcd(uint8_t byte) { return (byte >> 4) <= 9 && (byte & 0x0F) <= 9; }

void Refuse(Reply& reply) { reply.status = kStatusRefused; }

void Probe(ControllerState&, const Request&, Reply&) {}

// The bus moves the controller to its new address once the reply is built,
// and refuses an address that is 0 or taken by another controller.
void ChangeAddress(ControllerState& state, const Request& request, Reply&) {
  state.address = request.param(0);
}

void ReadVersion(ControllerState& state, const Request&, Reply& reply) {
  reply.payload.assign(state.version.begin(), state.version.end());
}

// Seven BCD bytes: year (2000 on), month, day, hour, minute, second and
// weekday. Anything that is not a real date and time is refused.
void SetClock(ControllerState& state, const Request& request, Reply& reply) {
  int fields[7] = {};
  for (size_t i = 0; i < 7; ++i) {
    if (!IsBcd(request.param(i))) return Refuse(reply);
    fields[i] = DecodeBcd(request.param(i));
  }
  const DateTime when{2000 + fields[0], fields[1], fields[2], fields[3],
                      fields[4],        fields[5], fields[6]};
  if (fields[6] > 6 || !state.clock.Set(when)) return Refuse(reply);
  state.LogEvent(kEventClockSet, 0, 0, 0);
}

// The new speed applies to the controller's side of the line only.
void ChangeBaud(ControllerState& state, const Request& request, Reply& reply) {
  const uint8_t code = request.param(0);
  if (code > kHighestBaudCode) return Refuse(reply);
  state.baud_code = code;
  state.LogEvent(kEventSettingsChanged, kCmdChangeBaud, code, 0);
}

void Initialise(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < 4 || ReadLittleEndian32(&request.body[3]) != kConfirmationWord) {
    return Refuse(reply);
  }
  state.ResetSettings();
  state.LogEvent(kEventSettingsChanged, kCmdInitialise, 0, 0);
}

void DeviceInformation(ControllerState& state, const Request&, Reply& reply) {
  for (uint16_t value : state.DeviceValues()) {
    reply.payload.push_back(static_cast<uint8_t>(value >> 8));
    reply.payload.push_back(static_cast<uint8_t>(value));
  }
}

}  // namespace

void RegisterManagementHandlers(HandlerTable& table) {
  table[kCmdProbe] = Probe;
  table[kCmdChangeAddress] = ChangeAddress;
  table[kCmdReadVersion] = ReadVersion;
  table[kCmdSetClock] = SetClock;
  table[kCmdChangeBaud] = ChangeBaud;
  table[kCmdInitialise] = Initialise;
  table[kCmdDeviceInformation] = DeviceInformation;
}

}  // namespace zarvo::sim
