// The controller side for the benchmark: answers every request frame on the
// master side of a pseudo-terminal with a reply of a chosen payload size,
// optionally paced as a real serial line of a given speed would be.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "pseudo_terminal.h"

namespace zarvo::bench {

class Responder {
 public:
  Responder() = default;
  ~Responder() { Stop(); }

  bool Start();
  void Stop();
  const std::string& device_name() const { return pty_.device_name(); }

  // Requests to this address get no reply.
  static constexpr uint8_t kSilentAddress = 9;
  // 0: answer at once; otherwise wait as long as the request would take to
  // arrive at this speed, then send the reply byte by byte at that speed.
  void set_paced_baud(uint32_t baud) { paced_baud_ = baud; }
  uint64_t requests() const { return requests_; }
  // While set, no request gets a reply: a bus with no controller on it.
  void set_silent(bool silent) { silent_ = silent; }

 private:
  void Serve();
  void Answer(const uint8_t* wire, size_t count);
  void SendPaced(const uint8_t* bytes, size_t count, size_t request_bytes);

  sim::PseudoTerminal pty_;
  int stop_pipe_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<uint32_t> paced_baud_{0};
  std::atomic<uint64_t> requests_{0};
  std::atomic<bool> silent_{false};
};

// The payload the responder answers a command with: a 256-byte block for
// table reads, nothing for everything else.
size_t ReplyPayloadSize(uint8_t command);

}  // namespace zarvo::bench
