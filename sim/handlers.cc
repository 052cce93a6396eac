#include "handlers.h"

namespace zarvo::sim {

const HandlerTable& Handlers() {
  static const HandlerTable table = [] {
    HandlerTable t{};
    RegisterManagementHandlers(t);
    RegisterEventHandlers(t);
    RegisterCardHandlers(t);
    RegisterTableHandlers(t);
    RegisterDoorHandlers(t);
    return t;
  }();
  return table;
}

}  // namespace zarvo::sim
