// Where each field of the access-mode and alarm-mode records lives in a
// door's two setting bytes. Bits without a field are sent as 0 and ignored
// when read.
#pragma once

#include <array>
#include <cstdint>

#include "zarvoac.h"

namespace zarvo {

template <typename Record>
struct SettingField {
  const char* name;
  int32_t Record::*member;
  uint8_t byte;   // 0: first setting byte, 1: second
  uint8_t shift;  // lowest bit of the field
  uint8_t width;  // 1 or 2 bits
};

// A one-bit field is set by any non-zero value; a two-bit field sends the
// low two bits of its value.
template <typename Record>
uint8_t EncodeField(const SettingField<Record>& f, int32_t value) {
  const uint32_t bits = f.width == 1 ? (value != 0 ? 1u : 0u) : (static_cast<uint32_t>(value) & 3u);
  return static_cast<uint8_t>(bits << f.shift);
}

template <typename Record>
int32_t DecodeField(const SettingField<Record>& f, uint8_t byte) {
  return (byte >> f.shift) & ((1 << f.width) - 1);
}

inline constexpr std::array<SettingField<AccessLevelRecord>, 9> kAccessFields = {{
    {"firstBit0", &AccessLevelRecord::firstBit0, 0, 0, 1},
    {"firstBit1", &AccessLevelRecord::firstBit1, 0, 1, 1},
    {"firstBit2", &AccessLevelRecord::firstBit2, 0, 2, 1},
    {"firstBit3", &AccessLevelRecord::firstBit3, 0, 3, 1},
    {"firstBit4", &AccessLevelRecord::firstBit4, 0, 4, 1},
    {"firstBit5", &AccessLevelRecord::firstBit5, 0, 5, 1},
    {"firstBit7", &AccessLevelRecord::firstBit7, 0, 7, 1},
    {"secondBit0", &AccessLevelRecord::secondBit0, 1, 0, 1},
    {"secondBit7", &AccessLevelRecord::secondBit7, 1, 7, 1},
}};

inline constexpr std::array<SettingField<WarnLevelRecord>, 11> kAlarmFields = {{
    {"firstBit0", &WarnLevelRecord::firstBit0, 0, 0, 1},
    {"firstBit1", &WarnLevelRecord::firstBit1, 0, 1, 1},
    {"firstBit2", &WarnLevelRecord::firstBit2, 0, 2, 1},
    {"firstBit3", &WarnLevelRecord::firstBit3, 0, 3, 1},
    {"firstBit4", &WarnLevelRecord::firstBit4, 0, 4, 1},
    {"firstBit5", &WarnLevelRecord::firstBit5, 0, 5, 1},
    {"firstBit6", &WarnLevelRecord::firstBit6, 0, 6, 1},
    {"secondBits0to1", &WarnLevelRecord::secondBits0to1, 1, 0, 2},
    {"secondBits2to3", &WarnLevelRecord::secondBits2to3, 1, 2, 2},
    {"secondBit4", &WarnLevelRecord::secondBit4, 1, 4, 1},
    {"secondBit5", &WarnLevelRecord::secondBit5, 1, 5, 1},
}};

// The two setting bytes carrying every field of `record`.
template <typename Record, size_t N>
std::array<uint8_t, 2> EncodeSettings(const std::array<SettingField<Record>, N>& fields,
                                      const Record& record) {
  std::array<uint8_t, 2> bytes{};
  for (const auto& f : fields) bytes[f.byte] |= EncodeField(f, record.*f.member);
  return bytes;
}

// Writes every field of `record` from the two setting bytes.
template <typename Record, size_t N>
void DecodeSettings(const std::array<SettingField<Record>, N>& fields,
                    const std::array<uint8_t, 2>& bytes, Record& record) {
  for (const auto& f : fields) record.*f.member = DecodeField(f, bytes[f.byte]);
}

}  // namespace zarvo
