// Controller management commands: probe, ...
#include "commands/command_codes.h"
#include "handlers.h"

namespace zarvo::sim {
namespace {

void Probe(ControllerState&, const Request&, Reply&) {}

}  // namespace

void RegisterManagementHandlers(HandlerTable& table) { table[kCmdProbe] = Probe; }

}  // namespace zarvo::sim
