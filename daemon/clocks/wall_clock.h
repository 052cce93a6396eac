// The wall clock the clock keeper schedules by, so that tests can run a
// day, or a daylight-saving change, on a fake one.
#pragma once

#include <ctime>
#include <stop_token>

namespace zarvod::clocks {

class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual std::time_t Now() = 0;
  // Returns true once Now() >= `when`, false as soon as `stop` is requested.
  virtual bool WaitUntil(std::time_t when, std::stop_token stop) = 0;
};

// The host's clock. Waits in steps of at most a minute, so that a host
// whose clock is set forward or back wakes at the right wall time.
class SystemWallClock : public WallClock {
 public:
  std::time_t Now() override;
  bool WaitUntil(std::time_t when, std::stop_token stop) override;
};

}  // namespace zarvod::clocks
