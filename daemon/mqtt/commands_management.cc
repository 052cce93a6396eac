// Controller management: probe, version, device values, clock, and the
// commands that change identity or erase the event log.
#include <array>

#include "command_catalog.h"

namespace zarvo::mqtt {
namespace {

void Probe(RequestArgs&, BuiltCommand& out) {
  out.action = [](ZarvoLine* line, int32_t address) { return Zarvo_LineSearchAR(line, address); };
}

void Version(RequestArgs&, BuiltCommand& out) {
  out.action = [data = out.data](ZarvoLine* line, int32_t address) {
    char version[33] = {};
    const int32_t result = Zarvo_LineVer(line, address, version);
    if (result == ZARVO_OK) (*data)["version"] = std::string(version);
    return result;
  };
}

void DeviceInfo(RequestArgs&, BuiltCommand& out) {
  out.action = [data = out.data](ZarvoLine* line, int32_t address) {
    std::array<int32_t, 6> values{};
    const int32_t result = Zarvo_LineDeviceInformation(line, address, values.data());
    if (result == ZARVO_OK) (*data)["values"] = values;
    return result;
  };
}

// The controller takes the host's clock; the daemon's host keeps it right.
void SetClock(RequestArgs&, BuiltCommand& out) {
  out.action = [](ZarvoLine* line, int32_t address) { return Zarvo_LineTime(line, address); };
}

void Initialise(RequestArgs&, BuiltCommand& out) {
  out.action = [](ZarvoLine* line, int32_t address) { return Zarvo_LineInit(line, address); };
}

void ChangeAddress(RequestArgs& args, BuiltCommand& out) {
  const int32_t new_address = args.Int("new_address", 0, 255);
  out.action = [new_address](ZarvoLine* line, int32_t address) {
    return Zarvo_LineChangeAR(line, address, new_address);
  };
}

void ChangeSpeed(RequestArgs& args, BuiltCommand& out) {
  const int32_t baud = args.Int("baud", 1200, 115200);
  out.action = [baud](ZarvoLine* line, int32_t address) {
    return Zarvo_LineChangeBaud(line, address, baud);
  };
}

void ClearEvents(RequestArgs&, BuiltCommand& out) {
  out.action = [](ZarvoLine* line, int32_t address) {
    return Zarvo_LineClearRecord(line, address);
  };
}

constexpr CommandSpec kCommands[] = {
    {"probe", CommandKind::kRead, Probe},
    {"version", CommandKind::kRead, Version},
    {"device.info", CommandKind::kRead, DeviceInfo},
    {"clock.set", CommandKind::kChange, SetClock},
    {"controller.init", CommandKind::kIdentity, Initialise},
    {"controller.address", CommandKind::kIdentity, ChangeAddress},
    {"controller.speed", CommandKind::kIdentity, ChangeSpeed},
    {"events.clear", CommandKind::kIdentity, ClearEvents},
};

}  // namespace

std::span<const CommandSpec> ManagementCommands() { return kCommands; }

}  // namespace zarvo::mqtt
