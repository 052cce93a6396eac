#include "commands/remote_door.h"

#include "result_codes.h"

namespace zarvo {

// Not built yet.
int32_t RemoteOpenDoor(Session&, int32_t, int32_t, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t RemoteCloseDoor(Session&, int32_t, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t RemoteClearWarn(Session&, int32_t, int32_t) { return kInvalidArgument; }

}  // namespace zarvo
