#include "wall_clock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zarvod::clocks {

std::time_t SystemWallClock::Now() { return std::time(nullptr); }

bool SystemWallClock::WaitUntil(std::time_t when, std::stop_token stop) {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  while (!stop.stop_requested()) {
    const std::time_t now = Now();
    if (now >= when) return true;
    const auto step = std::chrono::seconds(std::min<std::time_t>(when - now, 60));
    wake.wait_for(lock, stop, step, [] { return false; });
  }
  return false;
}

}  // namespace zarvod::clocks
