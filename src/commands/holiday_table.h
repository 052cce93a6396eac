// The 128-entry holiday list, one entry per call, through the holiday cache.
#pragma once

#include <cstdint>

#include "line/line.h"

namespace zarvo {

inline constexpr uint32_t kHolidayWriteSilenceMs = 1000;

// `record` is a HolidayRecord (month, day).
int32_t HolidayTable(Line& line, int32_t address, int32_t index, int32_t* record, int32_t mode);

}  // namespace zarvo
