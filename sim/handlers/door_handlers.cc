#include "handlers.h"

namespace zarvo::sim {

void RegisterDoorHandlers(HandlerTable&) {}

}  // namespace zarvo::sim
