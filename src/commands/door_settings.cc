#include "commands/door_settings.h"

#include "result_codes.h"

namespace zarvo {

// Not built yet.
int32_t PassWordOpenDoor(Session&, int32_t, int32_t, char*) { return kInvalidArgument; }

// Not built yet.
int32_t AccessLevel(Session&, int32_t, int32_t, AccessLevelRecord&, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t WarnLevel(Session&, int32_t, int32_t, WarnLevelRecord&, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t Delay(Session&, int32_t, const int32_t*) { return kInvalidArgument; }

// Not built yet.
int32_t MenaceCode(Session&, int32_t, char*) { return kInvalidArgument; }

// Not built yet.
int32_t MutualLock(Session&, int32_t, int32_t, const char*) { return kInvalidArgument; }

}  // namespace zarvo
