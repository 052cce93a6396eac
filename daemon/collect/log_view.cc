#include "collect/log_view.h"

#include <cstdlib>

namespace zarvod {
namespace {

// Two hexadecimal digits at `text`: the library prints BCD bytes that way.
uint8_t HexByte(const char* text) {
  const char pair[3] = {text[0], text[1], 0};
  return static_cast<uint8_t>(std::strtoul(pair, nullptr, 16));
}

void Put24(uint32_t value, uint8_t* out) {
  out[0] = static_cast<uint8_t>(value >> 16);
  out[1] = static_cast<uint8_t>(value >> 8);
  out[2] = static_cast<uint8_t>(value);
}

}  // namespace

LogView LogViewFromDeviceValues(const int32_t values[6]) {
  return LogView{values[1], values[2], values[3], values[4]};
}

StoredRecord StoredFromEventRecord(const EventRecord& e) {
  StoredRecord r{};
  // date "20YY-MM-DD", time "HH:MM:SS"
  r[0] = HexByte(e.date + 2);
  r[1] = HexByte(e.date + 5);
  r[2] = HexByte(e.date + 8);
  r[3] = HexByte(e.time);
  r[4] = HexByte(e.time + 3);
  r[5] = HexByte(e.time + 6);
  r[6] = static_cast<uint8_t>(e.value1);
  r[7] = static_cast<uint8_t>(e.value2);
  Put24(static_cast<uint32_t>(std::strtoul(e.number1, nullptr, 10)), &r[9]);
  Put24(static_cast<uint32_t>(std::strtoul(e.number2, nullptr, 10)), &r[13]);
  return r;
}

}  // namespace zarvod
