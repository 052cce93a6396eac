#include "controller_clock.h"

namespace zarvo::sim {
namespace {

DateTime FromTm(const std::tm& tm) {
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min,         tm.tm_sec,     tm.tm_wday};
}

}  // namespace

DateTime LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return FromTm(tm);
}

DateTime ControllerClock::Now() const {
  const std::time_t now = std::time(nullptr) + offset_seconds_;
  std::tm tm{};
  localtime_r(&now, &tm);
  return FromTm(tm);
}

void ControllerClock::Set(const DateTime& now) {
  std::tm tm{};
  tm.tm_year = now.year - 1900;
  tm.tm_mon = now.month - 1;
  tm.tm_mday = now.day;
  tm.tm_hour = now.hour;
  tm.tm_min = now.minute;
  tm.tm_sec = now.second;
  tm.tm_isdst = -1;
  const std::time_t wanted = std::mktime(&tm);
  if (wanted != static_cast<std::time_t>(-1)) offset_seconds_ = wanted - std::time(nullptr);
}

}  // namespace zarvo::sim
