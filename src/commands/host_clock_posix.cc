#include <ctime>

#include "commands/host_clock.h"

namespace zarvo {

bool LocalTimeAt(std::time_t seconds, LocalTime& now) {
  std::tm tm{};
  if (localtime_r(&seconds, &tm) == nullptr) return false;
  now = LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min,         tm.tm_sec,     tm.tm_wday};
  return true;
}

bool ReadHostLocalTime(LocalTime& now) {
  timespec ts{};
  if (clock_gettime(CLOCK_REALTIME, &ts) != 0) return false;
  return LocalTimeAt(ts.tv_sec, now);
}

}  // namespace zarvo
