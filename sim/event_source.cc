#include "event_source.h"

#include <chrono>

namespace zarvo::sim {

EventSource::EventSource(VirtualBus& bus, std::vector<uint8_t> addresses, double rate,
                         uint32_t seed)
    : bus_(bus), addresses_(std::move(addresses)), rate_(rate), random_(seed) {}

EventSource::~EventSource() { Stop(); }

void EventSource::Start() {
  if (rate_ <= 0 || addresses_.empty() || thread_.joinable()) return;
  stopping_ = false;
  thread_ = std::thread([this] { Run(); });
}

void EventSource::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void EventSource::LogOne() {
  std::lock_guard lock(mutex_);
  const uint8_t address = addresses_[random_() % addresses_.size()];
  const auto door = static_cast<uint8_t>(random_() % kDoorCount);
  // Six-digit card numbers: two events in a row are practically never the
  // same bytes, as at a real door.
  const uint32_t card = 100000 + random_() % 900000;
  bus_.WithController(
      address, [&](ControllerState& state) { state.LogEvent(kEventCardPresented, door, card, 0); });
  ++logged_;
}

uint64_t EventSource::logged() const {
  std::lock_guard lock(mutex_);
  return logged_;
}

void EventSource::Run() {
  using Clock = std::chrono::steady_clock;
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate_));
  Clock::time_point next = Clock::now() + period;
  std::unique_lock lock(mutex_);
  while (!wake_.wait_until(lock, next, [this] { return stopping_; })) {
    lock.unlock();
    LogOne();
    lock.lock();
    next += period;
  }
}

}  // namespace zarvo::sim
