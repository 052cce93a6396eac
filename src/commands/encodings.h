// Field encodings shared by the controller commands: BCD bytes, packed hex
// code texts, 32-character flag texts and decimal number texts. All of them
// are locale-independent.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvo {

// Two decimal digits of v mod 100 (0x07 for 2007, 0x45 for 45).
uint8_t EncodeBcd(int32_t value);
// 10 * high nibble + low nibble; a high nibble above 9 counts as its value.
int32_t DecodeBcd(uint8_t byte);

// Upper-cases `text` in place (up to its NUL), then packs `digit_count`
// characters two per byte into `dest`, first character in the high nibble.
// '0'-'9' and 'A'-'F' count as their hex value, anything else as 0; a text
// shorter than `digit_count` is packed as if padded with zeros. Returns the
// number of bytes written.
size_t PackHexText(char* text, size_t digit_count, uint8_t* dest);

// Bit i of the mask is set when flags[i] is '1'; all 32 characters are read.
uint32_t FlagTextToMask(const char* flags);
// Writes '1' or '0' for each of the 32 bits; no terminator.
void MaskToFlagText(uint32_t mask, char* flags);

// Reads a decimal card number: leading white space, one optional sign, then
// digits up to the first non-digit, wrapping modulo 2^32 ('-' negates in
// two's complement). No digits gives 0.
uint32_t ParseCardNumber(const char* text);
// "%08lu" of `number` into `dest` (at least 11 bytes), with terminator.
void FormatNumber(uint32_t number, char* dest);

// Big-endian and little-endian helpers for the wire.
inline uint32_t ReadBigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) |
         p[3];
}
inline void WriteBigEndian32(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
inline uint32_t ReadLittleEndian32(const uint8_t* p) {
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) |
         p[0];
}
inline void WriteLittleEndian32(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace zarvo
