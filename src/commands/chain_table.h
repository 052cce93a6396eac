// The chain table: two groups of four entries and a 16-bit value.
#pragma once

#include <cstdint>

#include "line/line.h"

namespace zarvo {

// `record` is a ChainRecord (5 integers).
int32_t ChianTable(Line& line, int32_t address, int32_t* record, int32_t group, int32_t mode);

}  // namespace zarvo
