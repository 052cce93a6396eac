// Millisecond tick source for silence limits and exchange durations. Values
// wrap at 2^32 and are only ever compared by unsigned subtraction.
#pragma once

#include <cstdint>

namespace zarvo {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t NowMs() = 0;
  // Microseconds for trace timestamps; by default the milliseconds scaled.
  virtual uint64_t NowUs() { return uint64_t{NowMs()} * 1000u; }
};

// Monotonic system time, unaffected by wall-clock changes.
class MonotonicClock final : public Clock {
 public:
  uint32_t NowMs() override;
  uint64_t NowUs() override;
};

}  // namespace zarvo
