#include "tool.h"

namespace zarvoctl {

void RegisterManagementCommands(Registry&) {}

}  // namespace zarvoctl
