// Remote door control: open, close, clear alarm.
#pragma once

#include <cstdint>

#include "line/line.h"

namespace zarvo {

int32_t RemoteOpenDoor(Line& line, int32_t address, int32_t door, int32_t open_param);
int32_t RemoteCloseDoor(Line& line, int32_t address, int32_t door);
int32_t RemoteClearWarn(Line& line, int32_t address, int32_t door);

}  // namespace zarvo
