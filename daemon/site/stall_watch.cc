#include "site/stall_watch.h"

#include "log/log.h"

namespace zarvod {

StallWatch::StallWatch(std::vector<Part> parts, std::chrono::milliseconds longest_step,
                       std::function<void()> feed)
    : parts_(std::move(parts)), longest_step_(longest_step), feed_(std::move(feed)) {}

std::vector<std::string> StallWatch::Check(Heartbeat::Clock::time_point now) {
  std::vector<std::string> stalled;
  for (const Part& part : parts_) {
    const std::optional<Heartbeat::Step> step = part.heartbeat->Current();
    if (!step || now - step->since <= longest_step_) {
      if (reported_.erase(part.name) != 0) LogInfo("watchdog: " + part.name + " moves again");
      continue;
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - step->since);
    stalled.push_back(part.name + ": " + step->what + " for " + std::to_string(seconds.count()) +
                      " s");
    if (reported_.insert(part.name).second) {
      LogError("watchdog: " + stalled.back() + "; no longer telling the service manager that " +
               "zarvod runs, so that it restarts zarvod");
    }
  }
  if (stalled.empty() && feed_) feed_();
  return stalled;
}

void StallWatch::Start(std::chrono::milliseconds every) {
  thread_ = std::jthread([this, every](std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    while (true) {
      wake.wait_for(lock, stop, every, [] { return false; });  // woken only by the stop
      if (stop.stop_requested()) return;
      Check(Heartbeat::Clock::now());
    }
  });
}

void StallWatch::Stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

}  // namespace zarvod
