#include "handlers.h"

namespace zarvo::sim {

void RegisterEventHandlers(HandlerTable&) {}

}  // namespace zarvo::sim
