// One event as the controller stores it (16 bytes) and the fields the
// journal keeps decoded beside it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zarvod {

using StoredRecord = std::array<uint8_t, 16>;

struct DecodedEvent {
  std::string controller_time;  // "YYYY-MM-DD HH:MM:SS" as the controller logged it
  int value1 = 0;
  int value2 = 0;
  uint32_t number1 = 0;
  uint32_t number2 = 0;
};

DecodedEvent Decode(const StoredRecord& record);

// A record whose date bytes are all zero is an empty slot: the controller
// sends one when there is no record at its read position.
inline bool IsEmptySlot(const StoredRecord& r) { return (r[0] | r[1] | r[2] | r[3]) == 0; }

}  // namespace zarvod
