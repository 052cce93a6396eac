// The 16-byte card entries on the wire and their conversion to and from the
// caller's records. Every text field is read only within its own bounds, so
// a caller's text without a terminator never spills into the next field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zarvoac.h"

namespace zarvo {

inline constexpr size_t kCardEntrySize = 16;

// Where an entry's fields lie. Both kinds carry the date, the first card
// number, value2 and the flag mask in the same places; the single card has
// its pin and value1 where the double card has its second number.
struct CardEntryLayout {
  static constexpr size_t kDateAt = 0;  // BCD year, month, day
  static constexpr size_t kNumberAt = 3;
  static constexpr size_t kPinAt = 7;
  static constexpr size_t kSecondNumberAt = 7;
  static constexpr size_t kValue1At = 10;
  static constexpr size_t kValue2At = 11;
  static constexpr size_t kFlagsAt = 12;
};

// Reads a card-number field of `size` bytes as a decimal number (wrapping
// modulo 2^32); the text ends at its terminator or at the field's end.
uint32_t CardNumberOf(const char* field, size_t size);
template <size_t N>
uint32_t CardNumberOf(const char (&field)[N]) {
  return CardNumberOf(field, N);
}

// Single-card entry: date, card number, packed pin, value1, value2, flags.
// Building it upper-cases the pin text in place, within the pin field.
void BuildEntry(CardRecord& record, uint8_t* entry);
void DecodeEntry(const uint8_t* entry, CardRecord& record);

// Double-card entry: date, both card numbers, value2, flags. The pin and
// value1 places of the record are neither read nor written.
void BuildEntry(const DoubleCardRecord& record, uint8_t* entry);
void DecodeEntry(const uint8_t* entry, DoubleCardRecord& record);

}  // namespace zarvo
