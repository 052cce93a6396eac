#include "journal/busy_wait.h"

#include <algorithm>

namespace zarvod {

void BusyWait::Install(sqlite3* db) { sqlite3_busy_handler(db, &BusyWait::OnBusy, this); }

void BusyWait::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  stopped_.notify_all();
}

int BusyWait::OnBusy(void* self, int attempt) {
  return static_cast<BusyWait*>(self)->WaitMore(attempt) ? 1 : 0;
}

bool BusyWait::WaitMore(int attempt) {
  using namespace std::chrono;
  // One connection runs one statement at a time, so `first_` is this
  // statement's first attempt.
  const steady_clock::time_point now = steady_clock::now();
  if (attempt == 0) first_ = now;
  const milliseconds waited = duration_cast<milliseconds>(now - first_);
  if (waited >= longest_) return false;
  const milliseconds pause =
      std::min({milliseconds{1 << std::min(attempt, 6)}, longest_ - waited, milliseconds{50}});
  std::unique_lock<std::mutex> lock(mutex_);
  return !stopped_.wait_for(lock, pause, [this] { return stop_; });
}

}  // namespace zarvod
