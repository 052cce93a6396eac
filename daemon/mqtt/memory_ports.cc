#include "memory_ports.h"

#include <chrono>

namespace zarvo::mqtt {

int64_t SystemClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

uint64_t MemoryOutbox::Append(OutboxEvent event) {
  std::function<void()> wake;
  uint64_t position = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    position = events_.size() + 1;
    event.position = position;
    events_.push_back(std::move(event));
    undelivered_.insert(position);
    wake = wake_;
  }
  if (wake) wake();
  return position;
}

std::vector<OutboxEvent> MemoryOutbox::Undelivered(uint64_t after, size_t limit) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<OutboxEvent> out;
  for (auto it = undelivered_.upper_bound(after); it != undelivered_.end() && out.size() < limit;
       ++it) {
    out.push_back(events_[*it - 1]);
  }
  return out;
}

void MemoryOutbox::MarkDelivered(const OutboxEvent& event) {
  std::lock_guard<std::mutex> lock(mutex_);
  undelivered_.erase(event.position);
  if (undelivered_.empty()) delivered_.notify_all();
}

bool MemoryOutbox::WaitAllDelivered(int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return delivered_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [this] { return undelivered_.empty(); });
}

void MemoryOutbox::SetListener(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_ = std::move(wake);
}

size_t MemoryOutbox::UndeliveredCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return undelivered_.size();
}

bool MemoryCommandJournal::Begin(const CommandRecord& record, CommandRecord* earlier) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto [it, inserted] = records_.emplace(record.request_id, record);
  if (!inserted && earlier != nullptr) *earlier = it->second;
  return inserted;
}

void MemoryCommandJournal::Finish(const std::string& request_id, int32_t result,
                                  const std::string& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = records_.find(request_id);
  if (it == records_.end()) return;
  it->second.result = result;
  it->second.reply = reply;
}

std::vector<CommandRecord> MemoryCommandJournal::Records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<CommandRecord> out;
  for (const auto& [id, record] : records_) out.push_back(record);
  return out;
}

}  // namespace zarvo::mqtt
