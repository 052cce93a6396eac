// How a serial device switches a half-duplex RS-485 driver: not at all (the
// adapter does it, as most USB adapters do), or by raising RTS while sending,
// with optional settling delays around the transmission.
#pragma once

#include <cstdint>

namespace zarvo {

struct SerialDirection {
  bool rts_while_sending = false;
  uint32_t rts_before_ms = 0;  // RTS raised this long before the first bit
  uint32_t rts_after_ms = 0;   // and held this long after the last
};

}  // namespace zarvo
