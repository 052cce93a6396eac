#include "commands/event_log.h"

#include "result_codes.h"

namespace zarvo {

// Not built yet.
int32_t ReadRecordOfBlock(Session&, int32_t, int32_t, EventRecord*) { return kInvalidArgument; }

// Not built yet.
int32_t ReadOne(Session&, int32_t, EventRecord&) { return kInvalidArgument; }

// Not built yet.
int32_t MoveNext(Session&, int32_t, EventRecord&) { return kInvalidArgument; }

// Not built yet.
int32_t ClearRecord(Session&, int32_t) { return kInvalidArgument; }

// Not built yet.
int32_t RestoreRecord(Session&, int32_t) { return kInvalidArgument; }

}  // namespace zarvo
