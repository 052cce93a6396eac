#include "handlers.h"

namespace zarvo::sim {

void RegisterTableHandlers(HandlerTable&) {}

}  // namespace zarvo::sim
