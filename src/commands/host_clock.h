// The host's local date and time, as the controller's clock takes it.
#pragma once

#include <cstdint>
#include <ctime>

namespace zarvo {

struct LocalTime {
  int32_t year;   // full year
  int32_t month;  // 1 to 12
  int32_t day;    // 1 to 31
  int32_t hour;   // 0 to 23
  int32_t minute;
  int32_t second;
  int32_t weekday;  // 0 = Sunday
};

// Reads the host's local time; false when the platform cannot tell it.
bool ReadHostLocalTime(LocalTime& now);

// Where the host's local time comes from; tests put in one that fails.
using HostClockReader = bool (*)(LocalTime& now);

#if !defined(_WIN32)
// Converts seconds since the epoch to local time; false when the C runtime
// cannot (a year beyond its range, a broken time zone database).
bool LocalTimeAt(std::time_t seconds, LocalTime& now);
#endif

}  // namespace zarvo
