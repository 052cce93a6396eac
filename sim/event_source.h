// Live events: cards presented at the doors of a bus's controllers, logged
// at a set rate from a thread of its own, as people walking through a site
// would produce them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "virtual_bus.h"

namespace zarvo::sim {

class EventSource {
 public:
  // `rate`: events per second over all of `addresses`, each event at one
  // controller picked at random (from `seed`), a door and a card with it.
  EventSource(VirtualBus& bus, std::vector<uint8_t> addresses, double rate, uint32_t seed = 1);
  ~EventSource();
  EventSource(const EventSource&) = delete;
  EventSource& operator=(const EventSource&) = delete;

  void Start();
  void Stop();

  // Logs one event now; what the thread does at each tick.
  void LogOne();
  uint64_t logged() const;

 private:
  void Run();

  VirtualBus& bus_;
  const std::vector<uint8_t> addresses_;
  const double rate_;
  std::mt19937 random_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  uint64_t logged_ = 0;
};

}  // namespace zarvo::sim
