#include "commands/door_relations.h"

#include "result_codes.h"

namespace zarvo {

// Not built yet.
int32_t SendDoorRelation(Session&, int32_t, uint8_t, int32_t, int32_t, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t RelationTimeTable(Session&, int32_t, int32_t, int32_t, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t RelationHolidayTimeTable(Session&, int32_t, int32_t, int32_t, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t RelationAlwaysOpenOfWeek(Session&, int32_t, int32_t, int32_t) { return kInvalidArgument; }

}  // namespace zarvo
