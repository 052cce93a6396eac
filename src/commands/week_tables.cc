#include "commands/week_tables.h"

#include "result_codes.h"

namespace zarvo {

// Not built yet.
int32_t TimeTable(Session&, int32_t, int32_t, int32_t*, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t HolidayTimeTable(Session&, int32_t, int32_t, int32_t*, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t AlwaysOpenOfWeek(Session&, int32_t, int32_t, int32_t*, int32_t) { return kInvalidArgument; }

}  // namespace zarvo
