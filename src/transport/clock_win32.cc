#include <windows.h>

#include "transport/clock.h"

namespace zarvo {

uint32_t MonotonicClock::NowMs() { return static_cast<uint32_t>(GetTickCount()); }

uint64_t MonotonicClock::NowUs() {
  LARGE_INTEGER count;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  const uint64_t ticks = static_cast<uint64_t>(count.QuadPart);
  const uint64_t per_second = static_cast<uint64_t>(frequency.QuadPart);
  return ticks / per_second * 1000000u + ticks % per_second * 1000000u / per_second;
}

}  // namespace zarvo
