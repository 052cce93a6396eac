// Single cards and double-card entries: read (mode 0), write (1), delete (2).
#pragma once

#include <cstdint>

#include "line/line.h"
#include "zarvoac.h"

namespace zarvo {

inline constexpr uint32_t kCardSilenceMs = 10000;

int32_t Registry(Line& line, int32_t address, CardRecord& record, uint32_t& ticks, int32_t mode,
                 int32_t flag);
int32_t RegistryDouble(Line& line, int32_t address, DoubleCardRecord& record, uint32_t& ticks,
                       int32_t mode);

}  // namespace zarvo
