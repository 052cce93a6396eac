// Remote door control: open, close, clear alarm.
#pragma once

#include <cstdint>

#include "session.h"

namespace zarvo {

int32_t RemoteOpenDoor(Session& session, int32_t address, int32_t door, int32_t open_param);
int32_t RemoteCloseDoor(Session& session, int32_t address, int32_t door);
int32_t RemoteClearWarn(Session& session, int32_t address, int32_t door);

}  // namespace zarvo
