// The controller's event log: block reads, single-record reads, clear and
// restore.
#pragma once

#include <cstdint>

#include "line/line.h"
#include "zarvoac.h"

namespace zarvo {

// Returns the number of records written to `records` (room for 192), or a
// negative result code.
int32_t ReadRecordOfBlock(Line& line, int32_t address, int32_t block, EventRecord* records);
int32_t ReadOne(Line& line, int32_t address, EventRecord& record);
int32_t MoveNext(Line& line, int32_t address, EventRecord& record);
int32_t ClearRecord(Line& line, int32_t address);
int32_t RestoreRecord(Line& line, int32_t address);

}  // namespace zarvo
