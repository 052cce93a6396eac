#include "handlers.h"

namespace zarvo::sim {

void RegisterCardHandlers(HandlerTable&) {}

}  // namespace zarvo::sim
