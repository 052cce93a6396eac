// Links from a door to time tables, holiday time tables and its always-open
// table.
#pragma once

#include <cstdint>

#include "line/line.h"

namespace zarvo {

// Sets one of a door's 16 link bytes under `code`; the other 15 go as 0.
int32_t SendDoorRelation(Line& line, int32_t address, uint8_t code, int32_t door, int32_t slot,
                         int32_t link_value);
int32_t RelationTimeTable(Line& line, int32_t address, int32_t door, int32_t slot,
                          int32_t link_value);
int32_t RelationHolidayTimeTable(Line& line, int32_t address, int32_t door, int32_t slot,
                                 int32_t link_value);
int32_t RelationAlwaysOpenOfWeek(Line& line, int32_t address, int32_t door, int32_t link_value);

}  // namespace zarvo
