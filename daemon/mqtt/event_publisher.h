// Sends the journal's undelivered events, in journal order, with QoS 1, and
// marks each delivered when the broker acknowledges it. At most `window`
// events are in flight. On every (re)connection it starts again from the
// oldest undelivered event, so an outage or a restart loses none; events
// in flight at a drop may arrive twice, and their stable id tells.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "broker_connection.h"
#include "site_ports.h"
#include "topics.h"

namespace zarvo::mqtt {

class EventPublisher {
 public:
  EventPublisher(std::string site, Topics topics, EventOutbox& outbox, size_t window);
  ~EventPublisher();

  void Start(BrokerConnection& connection);
  void Stop();

  void OnConnected();
  void OnDisconnected();
  void OnAcknowledged(int message_id, bool accepted);
  void OnNewEvents();

 private:
  void Run();
  bool ReadyToSend() const;

  std::string site_;
  Topics topics_;
  EventOutbox& outbox_;
  size_t window_;
  BrokerConnection* connection_ = nullptr;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool connected_ = false;
  bool more_ = true;         // the outbox may hold events past the cursor
  uint64_t commits_ = 0;     // outbox notifications so far
  uint64_t cursor_ = 0;      // position of the last event handed to the broker
  uint64_t generation_ = 0;  // connections so far
  // By message id. Publish is called holding mutex_, so an acknowledgement
  // cannot come before its event is entered here.
  std::map<int, OutboxEvent> in_flight_;
};

}  // namespace zarvo::mqtt
