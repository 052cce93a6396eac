#include "commands/encodings.h"

namespace zarvo {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

uint8_t HexValue(char c) {
  if (IsDigit(c)) return static_cast<uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  return 0;
}

}  // namespace

uint8_t EncodeBcd(int32_t value) {
  const int32_t v = ((value % 100) + 100) % 100;
  return static_cast<uint8_t>(16 * (v / 10) + v % 10);
}

int32_t DecodeBcd(uint8_t byte) { return 10 * (byte >> 4) + (byte & 0x0F); }

size_t PackHexText(char* text, size_t digit_count, uint8_t* dest) {
  size_t length = 0;
  for (; text[length] != '\0'; ++length) text[length] = ToUpperAscii(text[length]);
  // Positions at and past the terminator count as '0'; the text itself is
  // never read beyond its NUL.
  auto digit = [&](size_t i) -> uint8_t { return i < length ? HexValue(text[i]) : 0; };
  for (size_t i = 0; i < digit_count; i += 2) {
    dest[i / 2] = static_cast<uint8_t>(digit(i) << 4 | digit(i + 1));
  }
  return (digit_count + 1) / 2;
}

uint32_t FlagTextToMask(const char* flags) {
  uint32_t mask = 0;
  for (unsigned i = 0; i < 32; ++i) {
    if (flags[i] == '1') mask |= 1u << i;
  }
  return mask;
}

void MaskToFlagText(uint32_t mask, char* flags) {
  for (unsigned i = 0; i < 32; ++i) flags[i] = (mask >> i & 1u) ? '1' : '0';
}

uint32_t ParseCardNumber(const char* text) {
  while (IsSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  uint32_t value = 0;
  for (; IsDigit(*text); ++text) value = value * 10u + static_cast<uint32_t>(*text - '0');
  return negative ? 0u - value : value;
}

void FormatNumber(uint32_t number, char* dest) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  int at = 0;
  for (int pad = count; pad < 8; ++pad) dest[at++] = '0';
  while (count > 0) dest[at++] = digits[--count];
  dest[at] = '\0';
}

}  // namespace zarvo
