// The service watchdog's judge: looks at every line worker's heartbeat at a
// steady pace and feeds the service manager (systemd's WATCHDOG=1) only
// while none has been inside one step for longer than a step can take. A
// stalled line is logged once, by name and step; the service manager then
// restarts the daemon. The journal is judged through the lines: each of
// their steps writes to it, so a journal call that blocks stalls a line.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "site/heartbeat.h"

namespace zarvod {

class StallWatch {
 public:
  // A block read at 1200 bit/s takes some 50 s, a turn of one-by-one
  // reads some 20 s: no step of a working line comes near this.
  static constexpr std::chrono::seconds kLongestStep{120};

  struct Part {
    std::string name;  // "line ground"
    const Heartbeat* heartbeat;
  };

  StallWatch(std::vector<Part> parts, std::chrono::milliseconds longest_step,
             std::function<void()> feed);
  ~StallWatch() { Stop(); }
  StallWatch(const StallWatch&) = delete;
  StallWatch& operator=(const StallWatch&) = delete;

  // Looks every `every` until Stop.
  void Start(std::chrono::milliseconds every);
  void Stop();

  // One look as at `now`: feeds when no part is stalled, logs each part
  // newly stalled. Returns the stalled parts, "line ground: collecting from
  // Front for 130 s".
  std::vector<std::string> Check(Heartbeat::Clock::time_point now);

 private:
  const std::vector<Part> parts_;
  const std::chrono::milliseconds longest_step_;
  const std::function<void()> feed_;
  std::set<std::string> reported_;  // parts logged as stalled
  std::jthread thread_;
};

}  // namespace zarvod
