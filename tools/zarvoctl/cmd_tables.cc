#include "tool.h"

namespace zarvoctl {

void RegisterTableCommands(Registry&) {}

}  // namespace zarvoctl
