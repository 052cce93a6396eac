// The request a line last gave up on: its reply did not come within the
// silence limit (or another frame came instead), yet the controller may
// still answer it, late, while a later call waits for its own reply. It is
// remembered for one more silence limit after the call gave up; within that
// window a reply to it is no answer to any later call.
#pragma once

#include <cstdint>

namespace zarvo {

class AbandonedRequest {
 public:
  void Remember(uint8_t address, uint8_t command, uint32_t now_ms, uint32_t window_ms) {
    address_ = address;
    command_ = command;
    until_ms_ = now_ms + window_ms;
    active_ = true;
  }
  void Forget() { active_ = false; }
  bool active() const { return active_; }

  // True while a late reply to it may still come; forgets it once the
  // window has passed.
  bool Pending(uint32_t now_ms) {
    if (active_ && static_cast<int32_t>(until_ms_ - now_ms) <= 0) active_ = false;
    return active_;
  }
  uint32_t until_ms() const { return until_ms_; }

  // A reply from `address` for `command` may be the late reply.
  bool AnsweredBy(uint8_t address, uint8_t command) const {
    return command == command_ && (address_ == 0 || address == address_);
  }
  // A request to `address` with `command` would take the late reply for its
  // own: same command, and the same address or address 0 on either side.
  bool SharesRepliesWith(uint8_t address, uint8_t command) const {
    return command == command_ && (address == address_ || address == 0 || address_ == 0);
  }

 private:
  bool active_ = false;
  uint8_t address_ = 0;
  uint8_t command_ = 0;
  uint32_t until_ms_ = 0;
};

}  // namespace zarvo
