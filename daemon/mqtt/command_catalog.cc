#include "command_catalog.h"

namespace zarvo::mqtt {

const CommandSpec* FindCommand(std::string_view name) {
  for (auto group : {ManagementCommands(), DoorCommands(), CardCommands(), TableCommands()}) {
    for (const CommandSpec& entry : group) {
      if (name == entry.name) return &entry;
    }
  }
  return nullptr;
}

}  // namespace zarvo::mqtt
