#include "scripted_transport.h"

#include <algorithm>
#include <cstring>

#include "codec/frame_codec.h"
#include "request_parser.h"

namespace zarvo::testing {

void ScriptedTransport::Arrive(uint32_t after_ms, std::vector<uint8_t> bytes) {
  steps_.push_back({after_ms, std::move(bytes), false});
}

void ScriptedTransport::HangUp(uint32_t after_ms) { steps_.push_back({after_ms, {}, true}); }

std::vector<uint8_t> ScriptedTransport::Reply(uint8_t address, uint8_t command, uint8_t status,
                                              const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> frame = {kReplyStart, 0x01, address, command, status};
  frame.insert(frame.end(), payload.begin(), payload.end());
  const uint16_t crc = Crc16(frame.data() + 1, frame.size() - 1);
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc));
  frame.push_back(kReplyEnd);
  std::vector<uint8_t> wire(2 * frame.size() - 2);
  EncodeFrame(frame.data(), frame.size(), wire.data());
  return wire;
}

int32_t ScriptedTransport::Write(const uint8_t* bytes, size_t count, uint32_t /*wait_ms*/) {
  writes_.emplace_back(bytes, bytes + count);
  step_armed_ = false;
  return write_result_ == -2 ? static_cast<int32_t>(count) : write_result_;
}

int32_t ScriptedTransport::Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) {
  if (!stale_.empty()) {
    const size_t n = std::min(capacity, stale_.size());
    std::memcpy(dest, stale_.data(), n);
    stale_.erase(stale_.begin(), stale_.begin() + static_cast<long>(n));
    return static_cast<int32_t>(n);
  }
  if (steps_.empty()) {
    clock_.Advance(wait_ms);
    waited_ms_ += wait_ms;
    return 0;
  }
  if (!step_armed_) {
    step_due_ = clock_.NowMs() + steps_.front().after_ms;
    step_armed_ = true;
  }
  const uint32_t until_due = step_due_ - clock_.NowMs();
  // Like poll(), a byte due exactly when the wait ends is not seen by it.
  if (until_due >= wait_ms) {
    clock_.Advance(wait_ms);
    waited_ms_ += wait_ms;
    return 0;
  }
  clock_.Advance(until_due);
  waited_ms_ += until_due;
  Step& step = steps_.front();
  if (step.hang_up) return kDeviceGone;
  const size_t n = std::min(capacity, step.bytes.size());
  if (n > 0) std::memcpy(dest, step.bytes.data(), n);
  step.bytes.erase(step.bytes.begin(), step.bytes.begin() + static_cast<long>(n));
  if (step.bytes.empty()) {
    steps_.pop_front();
    step_armed_ = false;
    if (!steps_.empty()) {
      step_due_ = clock_.NowMs() + steps_.front().after_ms;
      step_armed_ = true;
    }
  } else {
    step.after_ms = 0;
    step_due_ = clock_.NowMs();
  }
  return static_cast<int32_t>(n);
}

std::vector<uint8_t> ScriptedTransport::LastBody() const {
  std::vector<uint8_t> body;
  if (!writes_.empty()) {
    sim::DecodeRequestFrame(writes_.back().data(), writes_.back().size(), body);
  }
  return body;
}

}  // namespace zarvo::testing
