// A worker's sign of life for the service watchdog. The worker names each
// step it starts (a polling turn, a command, a journal write) and says when
// it goes to wait; a step that never ends is a hang, however quiet the bus:
// a silent controller ends its step with a timeout, a blocked call does not.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

namespace zarvod {

class Heartbeat {
 public:
  using Clock = std::chrono::steady_clock;

  struct Step {
    std::string what;
    Clock::time_point since;
  };

  void Begin(std::string what) {
    std::lock_guard lock(mutex_);
    step_ = Step{std::move(what), Clock::now()};
  }
  void Wait() {
    std::lock_guard lock(mutex_);
    step_.reset();
  }
  // The step in progress; none while the worker waits.
  std::optional<Step> Current() const {
    std::lock_guard lock(mutex_);
    return step_;
  }

 private:
  mutable std::mutex mutex_;
  std::optional<Step> step_;
};

}  // namespace zarvod
