// Numbers typed on a command line: decimal, or hexadecimal after 0x. A
// leading zero is just a zero, never octal, so "010" is ten: an address
// typed with a leading zero must not reach another controller.
#pragma once

#include <cstdint>
#include <string>

namespace zarvo::tools {

inline bool ParseNumber(const std::string& text, int64_t& value) {
  size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++at;
  const bool hex = text.size() > at + 1 && text[at] == '0' && (text[at + 1] | 0x20) == 'x';
  if (hex) at += 2;
  if (at >= text.size() || text.size() - at > 16) return false;
  uint64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    const char lower = static_cast<char>(c | 0x20);
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && lower >= 'a' && lower <= 'f') digit = lower - 'a' + 10;
    if (digit < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
  }
  if (magnitude > static_cast<uint64_t>(INT64_MAX)) return false;
  value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

}  // namespace zarvo::tools
