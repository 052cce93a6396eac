// Every remote command: its name (the last topic level under cmd/), how
// much it may do, and how its request becomes work for a controller's line.
// Builders only read and check the request; nothing reaches a line unless
// the whole request is valid.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <span>
#include <string_view>

#include "request_args.h"
#include "site_ports.h"

namespace zarvo::mqtt {

enum class CommandKind {
  kRead,      // reads only
  kChange,    // changes settings, cards or tables
  kDoorOpen,  // opens a door: refused once its deadline has passed
  kIdentity,  // changes the controller's identity or erases data: off by default
};

struct BuiltCommand {
  LineAction action;
  // What a read returns; written by the action on the line's thread and
  // read once its result is in.
  std::shared_ptr<nlohmann::json> data = std::make_shared<nlohmann::json>();
};

using CommandBuilder = void (*)(RequestArgs& args, BuiltCommand& out);

struct CommandSpec {
  const char* name;
  CommandKind kind;
  CommandBuilder build;
};

std::span<const CommandSpec> ManagementCommands();
std::span<const CommandSpec> DoorCommands();
std::span<const CommandSpec> CardCommands();
std::span<const CommandSpec> TableCommands();

// nullptr for a name no command has.
const CommandSpec* FindCommand(std::string_view name);

}  // namespace zarvo::mqtt
