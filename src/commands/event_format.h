// Turns one 16-byte event record as the controller stores it into the
// caller's EventRecord: number texts, a date and a time, two values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zarvoac.h"

namespace zarvo {

inline constexpr size_t kStoredEventSize = 16;

// A stored record whose date and hour bytes are all zero is an empty slot.
bool IsEmptySlot(const uint8_t* stored);

// Fills `record` from the 16 stored bytes. Each text gets a terminator; the
// characters after it keep what the caller left there.
void FormatEvent(const uint8_t* stored, EventRecord& record);

}  // namespace zarvo
