#include "tool.h"

namespace zarvoctl {

void RegisterDoorCommands(Registry&) {}

}  // namespace zarvoctl
