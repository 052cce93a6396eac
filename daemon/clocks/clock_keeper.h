// Keeps every controller's clock right: sets them all at start, once a day
// at a set local time, and right after the local zone's offset changes
// (daylight saving). A controller whose setting failed is tried again
// after a pause, so that one offline at the change gets the new time when
// it is back.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "wall_clock.h"
#include "zarvoac.h"

namespace zarvod::clocks {

struct ClockTarget {
  std::string controller;
  std::string line;
  int32_t address = 0;
};

// Sets one controller's clock to the host's local time; returns the
// library's result code. Returns early, with any code, once `stop` is
// requested.
class ClockSetter {
 public:
  virtual ~ClockSetter() = default;
  virtual int32_t SetClock(const ClockTarget& target, std::stop_token stop) = 0;
};

enum class ClockReason { kStart, kDaily, kDaylightSaving, kRetry };
const char* ClockReasonName(ClockReason reason);

struct ClockPolicy {
  bool at_start = true;
  bool after_offset_change = true;
  int daily_hour = 3;  // local time of the daily setting
  int daily_minute = 0;
  std::time_t retry_seconds = 300;
};

// The next setting after `now`: the daily time or an offset change,
// whichever comes first.
struct NextSetting {
  std::time_t at = 0;
  ClockReason reason = ClockReason::kDaily;
};
NextSetting NextScheduled(std::time_t now, const ClockPolicy& policy);

struct ClockSetting {
  std::time_t at = 0;
  ClockReason reason = ClockReason::kStart;
  std::string controller;
  int32_t result = 0;
};

class ClockKeeper {
 public:
  using Log = std::function<void(const ClockSetting&)>;

  ClockKeeper(std::vector<ClockTarget> targets, ClockSetter& setter, WallClock& clock,
              ClockPolicy policy, Log log);

  // Sets the clocks at once, then as scheduled, until `stop` is requested.
  void Run(std::stop_token stop);

 private:
  void SetClocks(ClockReason reason, bool failed_only, std::stop_token stop);

  std::vector<ClockTarget> targets_;
  std::vector<bool> failed_;
  ClockSetter& setter_;
  WallClock& clock_;
  ClockPolicy policy_;
  Log log_;
};

}  // namespace zarvod::clocks
