// Line options, given after the port name ("/dev/ttyUSB0?echo=on&wait=200")
// or set by call: how to treat an adapter's echo, RS-485 direction control,
// and an allowance for links with latency.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "transport/open_failure.h"
#include "transport/serial_direction.h"

namespace zarvo {

enum class EchoMode : uint8_t {
  kAuto,  // drop the request's echo when the reply starts with it
  kOn,    // the echo must come first, byte for byte
  kOff,   // every byte is reply
};

struct LineOptions {
  EchoMode echo = EchoMode::kAuto;
  SerialDirection direction;
  uint32_t first_byte_wait_ms = 0;  // extra time allowed for the first reply byte
};

// Applies one option; false, with the reason in `why` and `options`
// unchanged, for an unknown key or a malformed value.
bool ApplyLineOption(LineOptions& options, std::string_view key, std::string_view value,
                     OpenFailure& why);

// Splits "NAME?key=value&key=value": copies NAME into `name` (a text of at
// most `capacity` - 1 characters) and applies the options to `options`.
// False, with the reason in `why`, when the name is too long or an option
// is refused.
bool ParsePortName(const char* port_name, char* name, size_t capacity, LineOptions& options,
                   OpenFailure& why);

}  // namespace zarvo
