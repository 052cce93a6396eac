// Command handlers of the virtual controller, one table entry per command
// code. Each command group registers its handlers from its own source file.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "controller_state.h"
#include "request_parser.h"

namespace zarvo::sim {

struct Reply {
  uint8_t status = 0;  // 0 carried out, anything else refused
  std::vector<uint8_t> payload;
};

// Status the controller answers with when it refuses a command.
inline constexpr uint8_t kStatusRefused = 1;
inline constexpr uint8_t kStatusUnknownCommand = 0x7F;

using Handler = void (*)(ControllerState& state, const Request& request, Reply& reply);
using HandlerTable = std::array<Handler, 256>;

void RegisterManagementHandlers(HandlerTable& table);
void RegisterEventHandlers(HandlerTable& table);
void RegisterCardHandlers(HandlerTable& table);
void RegisterTableHandlers(HandlerTable& table);
void RegisterDoorHandlers(HandlerTable& table);

// All command groups' handlers.
const HandlerTable& Handlers();

}  // namespace zarvo::sim
