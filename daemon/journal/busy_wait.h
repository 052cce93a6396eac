// How long a journal connection waits for another process's write lock on
// the file (a sqlite3 shell in a transaction, a backup): at most
// kLongestWait per statement, and not at all once a stop was asked, so a
// held lock costs a commit that is tried again later, not the daemon's
// stop. SQLite offers no word when another process lets go, so the wait
// looks again after growing pauses, as its own busy timeout does.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zarvod {

class BusyWait {
 public:
  static constexpr std::chrono::milliseconds kLongestWait{1000};

  explicit BusyWait(std::chrono::milliseconds longest = kLongestWait) : longest_(longest) {}
  BusyWait(const BusyWait&) = delete;
  BusyWait& operator=(const BusyWait&) = delete;

  // Becomes `db`'s busy handler; must outlive the connection.
  void Install(sqlite3* db);
  // Ends any wait now and every later one at once.
  void Stop();

 private:
  static int OnBusy(void* self, int attempt);
  bool WaitMore(int attempt);

  const std::chrono::milliseconds longest_;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
  std::chrono::steady_clock::time_point first_{};
};

}  // namespace zarvod
