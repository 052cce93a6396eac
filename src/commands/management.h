// Controller management: probe, address, version, clock, line speed,
// initialise, device values.
#pragma once

#include <cstdint>

#include "commands/host_clock.h"
#include "line/line.h"

namespace zarvo {

inline constexpr uint32_t kProbeSilenceMs = 200;

int32_t SearchAR(Line& line, int32_t address);
int32_t ChangeAR(Line& line, int32_t address, int32_t new_address);
// Copies up to 32 version bytes into `version`; no terminator is added.
int32_t Ver(Line& line, int32_t address, char* version);
// Sets the controller's clock to the host's local time. When the host
// cannot tell its local time, nothing is sent and the result is kNotOpen.
int32_t Time(Line& line, int32_t address);
int32_t SetClockFromHost(Line& line, int32_t address, HostClockReader read_host_clock);
int32_t SetClock(Line& line, int32_t address, const LocalTime& now);
int32_t ChangeBaud(Line& line, int32_t address, int32_t baud);
int32_t Init(Line& line, int32_t address);
// Fills six 16-bit device values.
int32_t DeviceInformation(Line& line, int32_t address, int32_t* values);

}  // namespace zarvo
