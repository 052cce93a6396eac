// Weekly time tables, holiday time tables and always-open tables: one day
// of one table per call, through the shared week table cache.
#pragma once

#include <cstdint>

#include "line/line.h"

namespace zarvo {

// `record` is a TimeTableRecord (33 integers).
int32_t TimeTable(Line& line, int32_t address, int32_t table_no, int32_t* record, int32_t mode);
int32_t HolidayTimeTable(Line& line, int32_t address, int32_t table_no, int32_t* record,
                         int32_t mode);
int32_t AlwaysOpenOfWeek(Line& line, int32_t address, int32_t table_no, int32_t* record,
                         int32_t mode);

}  // namespace zarvo
