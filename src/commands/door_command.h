// The command buffer shared by the door commands: 32 bytes, sent with the
// default silence limit of 500 ms.
#pragma once

#include <cstdint>

#include "commands/command_buffer.h"
#include "line/line.h"

namespace zarvo {

using DoorCommandBuffer = CommandBuffer<32>;

// Sends the first `length` bytes of `body`. The reply payload, if any, comes
// back in `body`; its length goes to `payload_length` when one is given.
inline int32_t SendDoorCommand(Line& line, DoorCommandBuffer& body, int32_t length,
                               int32_t* payload_length = nullptr) {
  const int32_t result = line.Exchange(body.data(), body.capacity(), length, 0);
  if (payload_length != nullptr) *payload_length = length;
  return result;
}

}  // namespace zarvo
