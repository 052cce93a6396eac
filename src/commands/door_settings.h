// Door settings: opening password, access mode, alarm mode, timings, duress
// code and interlock mask.
#pragma once

#include <cstdint>

#include "line/line.h"
#include "zarvoac.h"

namespace zarvo {

int32_t PassWordOpenDoor(Line& line, int32_t address, int32_t door, char* password);
int32_t AccessLevel(Line& line, int32_t address, int32_t door, AccessLevelRecord& settings,
                    int32_t mode);
int32_t WarnLevel(Line& line, int32_t address, int32_t door, WarnLevelRecord& settings,
                  int32_t mode);
int32_t Delay(Line& line, int32_t address, const int32_t* delay_values);
int32_t MenaceCode(Line& line, int32_t address, char* menace_code);
// `lock_flags`: 32 bytes, byte i not 0 sets bit i.
int32_t MutualLock(Line& line, int32_t address, int32_t door, const char* lock_flags);

}  // namespace zarvo
