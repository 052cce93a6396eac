#include "commands/card_registry.h"

#include "result_codes.h"

namespace zarvo {

// Not built yet.
int32_t Registry(Session&, int32_t, CardRecord&, uint32_t&, int32_t, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t RegistryDouble(Session&, int32_t, DoubleCardRecord&, uint32_t&, int32_t) { return kInvalidArgument; }

}  // namespace zarvo
