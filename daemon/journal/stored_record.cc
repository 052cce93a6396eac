#include "journal/stored_record.h"

#include <cstdio>

namespace zarvod {

DecodedEvent Decode(const StoredRecord& r) {
  DecodedEvent e;
  char text[32];
  // Date and time bytes are BCD, so their hexadecimal digits are the decimal ones.
  std::snprintf(text, sizeof text, "20%02X-%02X-%02X %02X:%02X:%02X", r[0], r[1], r[2], r[3], r[4],
                r[5]);
  e.controller_time = text;
  e.value1 = r[6];
  e.value2 = r[7];
  e.number1 = (uint32_t{r[9]} << 16) | (uint32_t{r[10]} << 8) | r[11];
  e.number2 = (uint32_t{r[13]} << 16) | (uint32_t{r[14]} << 8) | r[15];
  return e;
}

}  // namespace zarvod
