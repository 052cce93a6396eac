#include "command_catalog.h"

namespace zarvo::mqtt {

const CommandSpec* FindCommand(std::string_view name) {
  for (auto group : {ManagementCommands(), DoorCommands(), CardCommands(), TableCommands()}) {
    for (const CommandSpec& spec : group) {
      if (name == spec.name) return &spec;
    }
  }
  return nullptr;
}

}  // namespace zarvo::mqtt
