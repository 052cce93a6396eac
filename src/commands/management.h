// Controller management: probe, address, version, clock, line speed,
// initialise, device values.
#pragma once

#include <cstdint>

#include "line/line.h"

namespace zarvo {

inline constexpr uint32_t kProbeSilenceMs = 200;

// A local date and time as the controller's clock takes it.
struct LocalTime {
  int32_t year;     // full year
  int32_t month;    // 1 to 12
  int32_t day;      // 1 to 31
  int32_t hour;     // 0 to 23
  int32_t minute;
  int32_t second;
  int32_t weekday;  // 0 = Sunday
};

LocalTime HostLocalTime();

int32_t SearchAR(Line& line, int32_t address);
int32_t ChangeAR(Line& line, int32_t address, int32_t new_address);
// Copies up to 32 version bytes into `version`; no terminator is added.
int32_t Ver(Line& line, int32_t address, char* version);
// Sets the controller's clock to the host's local time.
int32_t Time(Line& line, int32_t address);
int32_t SetClock(Line& line, int32_t address, const LocalTime& now);
int32_t ChangeBaud(Line& line, int32_t address, int32_t baud);
int32_t Init(Line& line, int32_t address);
// Fills six 16-bit device values.
int32_t DeviceInformation(Line& line, int32_t address, int32_t* values);

}  // namespace zarvo
