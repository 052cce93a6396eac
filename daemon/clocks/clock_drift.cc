#include "clock_drift.h"

#include <cstdio>
#include <cstdlib>

#include "time_zone.h"

namespace zarvod::clocks {
namespace {

constexpr std::time_t kHour = 3600;

// The instant a local time names in the site's zone; false when the text
// is no time.
bool LocalInstant(const std::string& date, const std::string& time, std::time_t& out) {
  std::tm tm{};
  char tail = 0;
  if (std::sscanf(date.c_str(), "%d-%d-%d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tail) != 3 ||
      std::sscanf(time.c_str(), "%d:%d:%d%c", &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &tail) != 3) {
    return false;
  }
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  out = std::mktime(&tm);
  return out != static_cast<std::time_t>(-1);
}

std::string Seconds(long s) { return std::to_string(std::labs(s)) + " s"; }

std::string Describe(long low, long high) {
  if (low > 0) return Seconds(low) + " to " + Seconds(high) + " ahead";
  if (high < 0) return Seconds(high) + " to " + Seconds(low) + " behind";
  return "within " + Seconds(low) + " behind and " + Seconds(high) + " ahead";
}

}  // namespace

DriftEstimate EstimateDrift(const ClockObservation& seen, long limit_seconds) {
  DriftEstimate d;
  std::time_t event = 0;
  if (!LocalInstant(seen.event_date, seen.event_time, event)) {
    d.text = "cannot be measured: no event time";
    return d;
  }
  if (UtcOffsetAt(event - kHour) != UtcOffsetAt(event + kHour)) {
    d.text = "cannot be measured: the event's local time is near an offset change";
    return d;
  }
  if (seen.previous_read_at == 0 || seen.previous_read_at > seen.read_at) {
    d.text = "cannot be measured: no complete read of the log before this event";
    return d;
  }
  d.measurable = true;
  d.low = static_cast<long>(event - seen.read_at);
  d.high = static_cast<long>(event - seen.previous_read_at);
  d.drifted = d.low > limit_seconds || d.high < -limit_seconds;
  d.text = Describe(d.low, d.high);
  return d;
}

}  // namespace zarvod::clocks
