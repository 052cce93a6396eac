// Links from a door to time tables, holiday time tables and its always-open
// table.
#pragma once

#include <cstdint>

#include "session.h"

namespace zarvo {

// Sets one of a door's 16 link bytes under `code`; the other 15 go as 0.
int32_t SendDoorRelation(Session& session, int32_t address, uint8_t code, int32_t door,
                         int32_t slot, int32_t link_value);
int32_t RelationTimeTable(Session& session, int32_t address, int32_t door, int32_t slot,
                          int32_t link_value);
int32_t RelationHolidayTimeTable(Session& session, int32_t address, int32_t door, int32_t slot,
                                 int32_t link_value);
int32_t RelationAlwaysOpenOfWeek(Session& session, int32_t address, int32_t door,
                                 int32_t link_value);

}  // namespace zarvo
