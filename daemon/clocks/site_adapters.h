// The clock module on the daemon's own types (see cards/site_adapters.h for
// the shapes taken): the clock settings and targets of the site file, and a
// ClockSetter over the site's line workers.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "clock_keeper.h"

namespace zarvod::clocks {

// config.clock: set_at_start, daily_at ("HH:MM"), after_dst_change.
template <typename SiteConfig>
ClockPolicy PolicyFromConfig(const SiteConfig& config) {
  ClockPolicy policy;
  policy.at_start = config.clock.set_at_start;
  policy.after_offset_change = config.clock.after_dst_change;
  int hour = policy.daily_hour;
  int minute = policy.daily_minute;
  if (std::sscanf(config.clock.daily_at.c_str(), "%d:%d", &hour, &minute) == 2) {
    policy.daily_hour = hour;
    policy.daily_minute = minute;
  }
  return policy;
}

template <typename SiteConfig>
std::vector<ClockTarget> TargetsFromConfig(const SiteConfig& config) {
  std::vector<ClockTarget> targets;
  for (const auto& line : config.lines) {
    for (const auto& c : line.controllers) {
      targets.push_back({c.name, line.name, static_cast<int32_t>(c.address)});
    }
  }
  return targets;
}

// The outcome of one setting queued on a line, waited for in a way that a
// stop can cut short (a future's wait cannot be).
class SettingOutcome {
 public:
  void Finish(int32_t result) {
    {
      std::lock_guard lock(mutex_);
      if (result_) return;
      result_ = result;
    }
    done_.notify_all();
  }
  // The result, or nothing once `stop` is requested first.
  std::optional<int32_t> Wait(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, stop, [this] { return result_.has_value(); });
    return result_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable_any done_;
  std::optional<int32_t> result_;
};

// Held by the queued command alone: a line that drops the command unrun
// (stopping, or its port not open) ends the wait as "not run".
struct FinishWhenDropped {
  explicit FinishWhenDropped(std::shared_ptr<SettingOutcome> o) : outcome(std::move(o)) {}
  ~FinishWhenDropped() { outcome->Finish(ZARVO_E_NOT_OPEN); }
  FinishWhenDropped(const FinishWhenDropped&) = delete;
  FinishWhenDropped& operator=(const FinishWhenDropped&) = delete;
  std::shared_ptr<SettingOutcome> outcome;
};

// Sets clocks through the running site's command queues.
template <typename Site>
class SiteClockSetter : public ClockSetter {
 public:
  explicit SiteClockSetter(Site& site) : site_(site) {}

  // A line in a block read takes its commands only after it: a stop does
  // not wait for that.
  int32_t SetClock(const ClockTarget& t, std::stop_token stop) override {
    auto* worker = site_.Line(t.line);
    if (worker == nullptr) return ZARVO_E_NOT_OPEN;
    const int32_t address = t.address;
    auto outcome = std::make_shared<SettingOutcome>();
    auto guard = std::make_shared<FinishWhenDropped>(outcome);
    worker->Submit(
        {"clocks", "set the clock of " + t.controller, address, [address, guard](ZarvoLine* line) {
           const int32_t result = Zarvo_LineTime(line, address);
           guard->outcome->Finish(result);
           return result;
         }});
    guard.reset();
    return outcome->Wait(stop).value_or(ZARVO_E_NOT_OPEN);
  }

 private:
  Site& site_;
};

}  // namespace zarvod::clocks
