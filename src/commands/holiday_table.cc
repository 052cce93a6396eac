#include "commands/holiday_table.h"

#include "result_codes.h"

namespace zarvo {

// Not built yet.
int32_t HolidayTable(Session&, int32_t, int32_t, int32_t*, int32_t) { return kInvalidArgument; }

}  // namespace zarvo
