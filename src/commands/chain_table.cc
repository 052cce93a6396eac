#include "commands/chain_table.h"

#include "result_codes.h"

namespace zarvo {

// Not built yet.
int32_t ChianTable(Session&, int32_t, int32_t*, int32_t, int32_t) { return kInvalidArgument; }

}  // namespace zarvo
