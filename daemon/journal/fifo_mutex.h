// A mutex that lets threads in in the order they asked. Retention unlocks
// the journal between its batches so that lines can commit; std::mutex
// would mostly hand the lock straight back to the thread that just let it
// go, and the lines would wait for the whole prune after all.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zarvod {

class FifoMutex {
 public:
  void lock() {
    std::unique_lock<std::mutex> guard(mutex_);
    const uint64_t ticket = next_ticket_++;
    turn_.wait(guard, [&] { return serving_ == ticket; });
  }
  void unlock() {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      ++serving_;
    }
    turn_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable turn_;
  uint64_t next_ticket_ = 0;
  uint64_t serving_ = 0;
};

}  // namespace zarvod
