// The site's time zone. Controllers keep local time, and Zarvo_LineTime
// sends the host's local time, so the daemon makes the configured zone the
// process's local zone (TZ) at start, before any thread runs. Offsets and
// their changes come from the system's tz database through localtime_r.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace zarvod::clocks {

// Makes `zone` ("Europe/Berlin", "UTC") the local time zone of the process.
// Returns why it cannot ("" on success): an unknown zone is an error rather
// than the silent fall-back to UTC that TZ alone would give.
std::string UseTimeZone(const std::string& zone);
// Why `zone` cannot be used, "" when it can; changes nothing.
std::string TimeZoneProblem(const std::string& zone);

// The name of the zone the process keeps local time in ("Europe/Berlin"):
// TZ when it names a zone, else the host's zone; "" when neither tells.
std::string LocalZoneName();

// Seconds east of UTC of the local zone at `when`.
long UtcOffsetAt(std::time_t when);

// The first instant after `after`, up to `horizon`, at which the local
// zone's offset from UTC changes (daylight saving starts or ends).
std::optional<std::time_t> NextOffsetChange(std::time_t after, std::time_t horizon);

// The instant of the local time `hour`:`minute` on the day `days` after the
// local day of `when`. In a gap of a change, the time just after it.
std::time_t LocalTimeOnDay(std::time_t when, int days, int hour, int minute);

}  // namespace zarvod::clocks
