#include "tool.h"

namespace zarvoctl {

void RegisterCardCommands(Registry&) {}

}  // namespace zarvoctl
