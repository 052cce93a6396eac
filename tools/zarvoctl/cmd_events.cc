#include "tool.h"

namespace zarvoctl {

void RegisterEventCommands(Registry&) {}

}  // namespace zarvoctl
