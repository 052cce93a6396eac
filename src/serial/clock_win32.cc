#include <windows.h>

#include "serial/clock.h"

namespace zarvo {

uint32_t MonotonicClock::NowMs() { return static_cast<uint32_t>(GetTickCount()); }

}  // namespace zarvo
