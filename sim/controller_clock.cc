#include "controller_clock.h"

namespace zarvo::sim {
namespace {

DateTime FromTm(const std::tm& tm) {
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                  tm.tm_min,         tm.tm_sec,     tm.tm_wday};
}

DateTime LocalAt(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  return FromTm(tm);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool IsValidDateTime(const DateTime& when) {
  if (when.year < 2000 || when.year > 2099 || when.month < 1 || when.month > 12) return false;
  if (when.day < 1 || when.day > DaysInMonth(when.year, when.month)) return false;
  return when.hour >= 0 && when.hour < 24 && when.minute >= 0 && when.minute < 60 &&
         when.second >= 0 && when.second < 60;
}

DateTime LocalNow() { return LocalAt(std::time(nullptr)); }

DateTime ControllerClock::Now() const { return SecondsAgo(0); }

DateTime ControllerClock::SecondsAgo(int64_t seconds) const {
  return LocalAt(static_cast<std::time_t>(std::time(nullptr) + offset_seconds_ - seconds));
}

bool ControllerClock::Set(const DateTime& now) {
  if (!IsValidDateTime(now)) return false;
  std::tm tm{};
  tm.tm_year = now.year - 1900;
  tm.tm_mon = now.month - 1;
  tm.tm_mday = now.day;
  tm.tm_hour = now.hour;
  tm.tm_min = now.minute;
  tm.tm_sec = now.second;
  tm.tm_isdst = -1;
  const std::time_t wanted = std::mktime(&tm);
  if (wanted == static_cast<std::time_t>(-1)) return false;
  offset_seconds_ = wanted - std::time(nullptr);
  return true;
}

}  // namespace zarvo::sim
