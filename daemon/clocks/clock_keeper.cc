#include "clock_keeper.h"

#include <algorithm>

#include "time_zone.h"

namespace zarvod::clocks {

const char* ClockReasonName(ClockReason reason) {
  switch (reason) {
    case ClockReason::kStart: return "start";
    case ClockReason::kDaily: return "daily";
    case ClockReason::kDaylightSaving: return "offset change";
    case ClockReason::kRetry: return "retry";
  }
  return "?";
}

NextSetting NextScheduled(std::time_t now, const ClockPolicy& policy) {
  std::time_t daily = LocalTimeOnDay(now, 0, policy.daily_hour, policy.daily_minute);
  if (daily <= now) daily = LocalTimeOnDay(now, 1, policy.daily_hour, policy.daily_minute);
  const auto change =
      policy.after_offset_change ? NextOffsetChange(now, daily) : std::optional<std::time_t>();
  if (change && *change < daily) return {*change, ClockReason::kDaylightSaving};
  return {daily, ClockReason::kDaily};
}

ClockKeeper::ClockKeeper(std::vector<ClockTarget> targets, ClockSetter& setter, WallClock& clock,
                         ClockPolicy policy, Log log)
    : targets_(std::move(targets)),
      failed_(targets_.size(), false),
      setter_(setter),
      clock_(clock),
      policy_(policy),
      log_(std::move(log)) {}

void ClockKeeper::SetClocks(ClockReason reason, bool failed_only, std::stop_token stop) {
  // Each setting of a silent controller waits out its reply time: a stop
  // must not wait for all of them.
  for (size_t i = 0; i < targets_.size() && !stop.stop_requested(); ++i) {
    if (failed_only && !failed_[i]) continue;
    const int32_t result = setter_.SetClock(targets_[i], stop);
    if (stop.stop_requested()) return;  // cut short: not a failed setting
    failed_[i] = result != ZARVO_OK;
    if (log_) log_({clock_.Now(), reason, targets_[i].controller, result});
  }
}

void ClockKeeper::Run(std::stop_token stop) {
  if (policy_.at_start) SetClocks(ClockReason::kStart, false, stop);
  while (!stop.stop_requested()) {
    const std::time_t now = clock_.Now();
    NextSetting next = NextScheduled(now, policy_);
    const bool any_failed = std::find(failed_.begin(), failed_.end(), true) != failed_.end();
    if (any_failed && now + policy_.retry_seconds < next.at) {
      next = {now + policy_.retry_seconds, ClockReason::kRetry};
    }
    if (!clock_.WaitUntil(next.at, stop)) return;
    SetClocks(next.reason, next.reason == ClockReason::kRetry, stop);
  }
}

}  // namespace zarvod::clocks
