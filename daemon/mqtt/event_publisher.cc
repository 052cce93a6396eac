#include "event_publisher.h"

#include "payloads.h"

namespace zarvo::mqtt {

EventPublisher::EventPublisher(std::string site, Topics topics, EventOutbox& outbox, size_t window)
    : site_(std::move(site)), topics_(std::move(topics)), outbox_(outbox), window_(window) {}

EventPublisher::~EventPublisher() { Stop(); }

void EventPublisher::Start(BrokerConnection& connection) {
  connection_ = &connection;
  outbox_.SetListener([this] { OnNewEvents(); });
  thread_ = std::thread([this] { Run(); });
}

void EventPublisher::Stop() {
  if (!thread_.joinable()) return;
  outbox_.SetListener(nullptr);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void EventPublisher::OnConnected() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = true;
    ++generation_;
    cursor_ = 0;
    in_flight_.clear();
    more_ = true;
  }
  wake_.notify_all();
}

void EventPublisher::OnDisconnected() {
  std::lock_guard<std::mutex> lock(mutex_);
  connected_ = false;
}

void EventPublisher::OnAcknowledged(int message_id, bool accepted) {
  OutboxEvent event;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = in_flight_.find(message_id);
    if (it == in_flight_.end()) return;  // not an event, or sent before a reconnection
    event = std::move(it->second);
    in_flight_.erase(it);
  }
  // Outside our lock: the outbox takes the journal's, which is held when
  // the journal wakes us.
  if (accepted) outbox_.MarkDelivered(event);
  wake_.notify_all();
}

void EventPublisher::OnNewEvents() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    more_ = true;
    ++commits_;
  }
  wake_.notify_all();
}

bool EventPublisher::ReadyToSend() const {
  return connected_ && more_ && in_flight_.size() < window_;
}

void EventPublisher::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || ReadyToSend(); });
    if (stopping_) return;
    const uint64_t after = cursor_;
    const uint64_t generation = generation_;
    const uint64_t commits = commits_;
    const size_t room = window_ - in_flight_.size();
    lock.unlock();
    std::vector<OutboxEvent> batch = outbox_.Undelivered(after, room);
    lock.lock();
    if (generation_ != generation) continue;  // reconnected meanwhile: start again
    if (batch.empty()) {
      more_ = commits_ != commits;  // unless events came while we looked
      continue;
    }
    for (OutboxEvent& event : batch) {
      const int mid = connection_->Publish(topics_.Events(event.controller),
                                           EventPayload(site_, event), 1, false);
      if (mid < 0) {
        connected_ = false;  // lost the connection; the next one starts again
        break;
      }
      cursor_ = event.position;
      in_flight_.emplace(mid, std::move(event));
    }
  }
}

}  // namespace zarvo::mqtt
