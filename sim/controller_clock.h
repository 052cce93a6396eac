// A controller's real-time clock: the host's local time plus the offset the
// last set-clock command left.
#pragma once

#include <cstdint>
#include <ctime>

namespace zarvo::sim {

struct DateTime {
  int year = 2000;  // full year
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 6;  // 0 = Sunday
};

class ControllerClock {
 public:
  DateTime Now() const;
  // The clock's time `seconds` ago.
  DateTime SecondsAgo(int64_t seconds) const;
  // Sets the clock; the controller keeps running from there. False (and the
  // clock unchanged) when `now` names no real date and time.
  bool Set(const DateTime& now);
  // How far the clock is ahead of the host's, for keeping it across runs.
  int64_t offset_seconds() const { return offset_seconds_; }
  void set_offset_seconds(int64_t offset) { offset_seconds_ = offset; }

 private:
  int64_t offset_seconds_ = 0;
};

// True when the fields name a real date and time of a year 2000 to 2099;
// the weekday is not looked at, the clock works it out itself.
bool IsValidDateTime(const DateTime& when);

// The host's local time (the same source the library uses to set clocks).
DateTime LocalNow();

}  // namespace zarvo::sim
