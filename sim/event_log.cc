#include "event_log.h"

namespace zarvo::sim {
namespace {

uint8_t Bcd(int v) {
  v = ((v % 100) + 100) % 100;
  return static_cast<uint8_t>(16 * (v / 10) + v % 10);
}

void Put24(uint32_t v, uint8_t* p) {
  p[0] = static_cast<uint8_t>(v >> 16);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v);
}

}  // namespace

StoredEvent MakeStoredEvent(const DateTime& when, uint8_t value1, uint8_t value2,
                            uint32_t number1, uint32_t number2) {
  StoredEvent e{};
  e[0] = Bcd(when.year);
  e[1] = Bcd(when.month);
  e[2] = Bcd(when.day);
  e[3] = Bcd(when.hour);
  e[4] = Bcd(when.minute);
  e[5] = Bcd(when.second);
  e[6] = value1;
  e[7] = value2;
  Put24(number1, &e[9]);
  Put24(number2, &e[13]);
  return e;
}

}  // namespace zarvo::sim
