#include "commands/event_format.h"

#include "commands/encodings.h"

namespace zarvo {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Writes the byte as two upper-case hex digits. Date and time bytes are BCD,
// so they read as their decimal digits; a byte that is not BCD shows its hex
// digits as they are.
char* PutHexByte(uint8_t byte, char* at) {
  *at++ = kHexDigits[byte >> 4];
  *at++ = kHexDigits[byte & 0x0F];
  return at;
}

// Three bytes as hex pairs with `separator` between them, after `prefix`.
void PutTriple(const char* prefix, const uint8_t* bytes, char separator, char* dest) {
  while (*prefix != '\0') *dest++ = *prefix++;
  dest = PutHexByte(bytes[0], dest);
  *dest++ = separator;
  dest = PutHexByte(bytes[1], dest);
  *dest++ = separator;
  dest = PutHexByte(bytes[2], dest);
  *dest = '\0';
}

uint32_t Read24(const uint8_t* p) { return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]; }

}  // namespace

bool IsEmptySlot(const uint8_t* stored) {
  return stored[0] == 0 && stored[1] == 0 && stored[2] == 0 && stored[3] == 0;
}

void FormatEvent(const uint8_t* stored, EventRecord& record) {
  // Bytes 8 and 12 separate the numbers and carry nothing the host shows.
  FormatNumber(Read24(stored + 9), record.number1);
  FormatNumber(Read24(stored + 13), record.number2);
  PutTriple("20", stored, '-', record.date);
  PutTriple("", stored + 3, ':', record.time);
  record.value1 = stored[6];
  record.value2 = stored[7];
}

}  // namespace zarvo
