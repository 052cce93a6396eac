// A serial line played from a script, with a clock that only moves when the
// line waits: the exchange can be driven through silences of any length in
// no time at all.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "transport/clock.h"
#include "transport/transport.h"

namespace zarvo::testing {

class FakeClock final : public Clock {
 public:
  uint32_t NowMs() override { return now_; }
  void Advance(uint32_t ms) { now_ += ms; }
  void Set(uint32_t ms) { now_ = ms; }

 private:
  uint32_t now_ = 1000;
};

class ScriptedTransport final : public Transport {
 public:
  explicit ScriptedTransport(FakeClock& clock) : clock_(clock) {}

  // Bytes that arrive `after_ms` after the previous step (or after the
  // request was written, for the first step of a reply).
  void Arrive(uint32_t after_ms, std::vector<uint8_t> bytes);
  // The device reports a hang-up `after_ms` after the previous step.
  void HangUp(uint32_t after_ms);
  // Bytes already waiting in the receive queue before the next write.
  void Stale(std::vector<uint8_t> bytes) { stale_ = std::move(bytes); }
  // A well-formed reply frame as a controller would send it, line-encoded.
  static std::vector<uint8_t> Reply(uint8_t address, uint8_t command, uint8_t status,
                                    const std::vector<uint8_t>& payload);

  void Open() { open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int32_t Write(const uint8_t* bytes, size_t count, uint32_t wait_ms) override;
  int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) override;
  int32_t StartExchange() override {
    stale_.clear();
    if (reconnect_at_start_) ++reconnects_;
    reconnect_at_start_ = false;
    return 0;
  }
  uint32_t Reconnects() const override { return reconnects_; }
  // The next StartExchange finds the link lost and connects it again.
  void ReconnectAtNextStart() { reconnect_at_start_ = true; }

  void set_write_result(int32_t result) { write_result_ = result; }
  const std::vector<std::vector<uint8_t>>& writes() const { return writes_; }
  // Total time the exchange spent waiting in Read.
  uint64_t waited_ms() const { return waited_ms_; }
  // Body of the last request written (decoded from the wire).
  std::vector<uint8_t> LastBody() const;

 private:
  struct Step {
    uint32_t after_ms;
    std::vector<uint8_t> bytes;
    bool hang_up;
  };

  FakeClock& clock_;
  bool open_ = true;
  int32_t write_result_ = -2;  // -2: the full count
  std::deque<Step> steps_;
  std::vector<uint8_t> stale_;
  std::vector<std::vector<uint8_t>> writes_;
  uint32_t step_due_ = 0;  // when the front step arrives
  bool step_armed_ = false;
  uint64_t waited_ms_ = 0;
  uint32_t reconnects_ = 0;
  bool reconnect_at_start_ = false;
};

}  // namespace zarvo::testing
