// The clock module on the daemon's own types (see cards/site_adapters.h for
// the shapes taken): the clock settings and targets of the site file, and a
// ClockSetter over the site's line workers.
#pragma once

#include <cstdio>
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

// Sets clocks through the running site's command queues.
template <typename Site>
class SiteClockSetter : public ClockSetter {
 public:
  explicit SiteClockSetter(Site& site) : site_(site) {}

  int32_t SetClock(const ClockTarget& t) override {
    auto* worker = site_.Line(t.line);
    if (worker == nullptr) return ZARVO_E_NOT_OPEN;
    const int32_t address = t.address;
    return worker
        ->Submit({"clocks", "set the clock of " + t.controller, address,
                  [address](ZarvoLine* line) { return Zarvo_LineTime(line, address); }})
        .get();
  }

 private:
  Site& site_;
};

}  // namespace zarvod::clocks
