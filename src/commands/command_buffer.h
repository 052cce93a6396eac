// A command body under construction: type byte, controller address and
// command code at the front of a zero-filled buffer whose size is the
// capacity handed to the exchange. The reply payload comes back in it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zarvo {

inline constexpr uint8_t kCommandType = 0x80;

template <size_t N>
struct CommandBuffer {
  CommandBuffer(int32_t address, uint8_t code) {
    bytes[0] = kCommandType;
    bytes[1] = static_cast<uint8_t>(address & 0xFF);
    bytes[2] = code;
  }

  uint8_t* data() { return bytes.data(); }
  uint8_t& operator[](size_t i) { return bytes[i]; }
  static constexpr int32_t capacity() { return static_cast<int32_t>(N); }

  std::array<uint8_t, N> bytes{};
};

// Doors are numbered 0 to 3, compared as whole 32-bit values.
inline bool IsValidDoor(int32_t door) { return door >= 0 && door <= 3; }

}  // namespace zarvo
