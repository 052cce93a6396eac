// The virtual controller: one or more controllers, each with its own bus
// address and state, answering on a line of their own (the master side of
// a pseudo-terminal, or loopback TCP where there are none) from a thread
// of their own. A host opens device_name() as its serial port.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bus_wire.h"
#include "controller_state.h"
#include "faults.h"
#include "handlers.h"

namespace zarvo::sim {

class VirtualBus {
 public:
  // Serves on `wire`, or on this system's native line when none is given.
  explicit VirtualBus(std::vector<uint8_t> addresses = {1},
                      std::unique_ptr<BusWire> wire = nullptr);
  ~VirtualBus();
  VirtualBus(const VirtualBus&) = delete;
  VirtualBus& operator=(const VirtualBus&) = delete;

  // Brings the line up and starts serving; false when it cannot.
  bool Start();
  void Stop();

  const std::string& device_name() const { return wire_->name(); }

  // The next replies carry this fault (fault.count of them).
  void InjectFault(const Fault& fault);
  void ClearFaults();
  // Answers only while the host's port is at `baud` bit/s (0: any speed);
  // at another speed the host receives bytes that decode to nothing.
  void set_baud(uint32_t baud) { baud_ = baud; }
  // 0 (default): replies leave at once. Otherwise each reply waits as long
  // as its request took to arrive at `baud` bit/s (8N1) and then leaves at
  // that pace, as on a real line of that speed.
  void set_paced_baud(uint32_t baud) { paced_baud_ = baud; }
  // Sends stray bytes ahead of every reply.
  void set_noise(bool noise) { noise_ = noise; }
  // Every controller answers a request to address 0, as real ones on one bus
  // do, and with more than one their replies collide on the line. Off: the
  // lowest address alone answers.
  void set_collide(bool on) { collide_ = on; }

  // Echo mode, as an RS-485 adapter that reads back its own transmission:
  // every byte the host sends comes back to the host at once, ahead of any
  // reply.
  void set_echo(bool on) { echo_ = on; }

  // Valid request frames received (good CRC), whoever they were for.
  uint64_t request_count() const { return requests_; }
  // Frames dropped for a broken encoding or CRC.
  uint64_t bad_frame_count() const;
  uint64_t reply_count() const { return replies_; }
  // The body of the last valid request received.
  std::vector<uint8_t> last_request() const;

  // Runs `inspect` on the state of the controller at `address` under the
  // bus lock; false when no controller has that address.
  bool WithController(uint8_t address, const std::function<void(ControllerState&)>& inspect);
  // Runs `each` on every controller, in address order, under the bus lock.
  void ForEachController(const std::function<void(ControllerState&)>& each);

  // Runs `hook` under the bus lock after each request was answered, before
  // the reply leaves: what happens on a controller while its reply is on the
  // line (events logged during a block read, a clear, ...).
  using AnswerHook = std::function<void(uint8_t command, ControllerState& state)>;
  void set_after_answer(AnswerHook hook);

  // Waits up to `timeout_ms` until at least `count` replies have been sent.
  bool WaitForReplies(uint64_t count, uint32_t timeout_ms) const;

 private:
  void Serve();
  void OnRequest(const Request& request);
  ControllerState* Find(uint8_t address);
  // Runs the request on `state` and returns the reply's bytes on the wire.
  std::vector<uint8_t> Answer(ControllerState& state, const Request& request, const Fault& fault);
  std::vector<uint8_t> BuildReply(const ControllerState& state, const Request& request,
                                  const Reply& reply, const Fault& fault) const;
  void SendReply(const std::vector<uint8_t>& wire, const Fault& fault, size_t request_bytes = 0);
  void SendPaced(const std::vector<uint8_t>& wire, size_t request_bytes);
  void Readdress(ControllerState& state, Reply& reply);
  Fault TakeFault(uint8_t command);

  std::unique_ptr<BusWire> wire_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> echo_{false};
  mutable std::mutex mutex_;
  std::map<uint8_t, std::unique_ptr<ControllerState>> controllers_;
  Fault fault_;
  AnswerHook after_answer_;
  std::vector<uint8_t> last_request_;
  std::atomic<uint64_t> requests_{0};
  std::atomic<uint64_t> replies_{0};
  mutable std::condition_variable replied_;
  uint64_t bad_frames_ = 0;
  std::atomic<uint32_t> baud_{0};
  std::atomic<bool> noise_{false};
  std::atomic<bool> collide_{false};
  std::atomic<uint32_t> paced_baud_{0};
};

}  // namespace zarvo::sim
