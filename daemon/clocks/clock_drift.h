// How far a controller's clock is off. No command reads a controller's
// clock, so the daemon estimates it from the newest event it read: the
// event's time is the controller's clock when the event happened, and the
// event happened after the previous complete read of the controller's log
// and before the read that found it. That bounds the drift to an interval
// as wide as the polling round; a controller is reported as drifted only
// when the whole interval lies beyond the limit, so a slow round never
// raises a false alarm. Without events since the last clock setting, or
// near a change of the zone's offset, the drift cannot be measured.
#pragma once

#include <ctime>
#include <string>

namespace zarvod::clocks {

struct ClockObservation {
  std::string event_date;            // the controller's time of the newest event: "2026-12-07"
  std::string event_time;            // "13:45:02"
  std::time_t read_at = 0;           // when the host read it
  std::time_t previous_read_at = 0;  // the read before, which had read the log to its end
};

struct DriftEstimate {
  bool measurable = false;
  long low = 0;          // seconds the controller is ahead of the host, at least
  long high = 0;         // and at most
  bool drifted = false;  // the whole interval lies beyond the limit
  std::string text;      // "12 to 17 s ahead", "cannot be measured: ..."
};

DriftEstimate EstimateDrift(const ClockObservation& seen, long limit_seconds);

}  // namespace zarvod::clocks
