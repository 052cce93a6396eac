// The controller operations of the C interface, each twice from one row of
// the operation list: on the default line and on a line handle.
#include "commands/card_registry.h"
#include "commands/chain_table.h"
#include "commands/door_relations.h"
#include "commands/door_settings.h"
#include "commands/event_log.h"
#include "commands/holiday_table.h"
#include "commands/management.h"
#include "commands/remote_door.h"
#include "commands/week_tables.h"
#include "exports/export_support.h"
#include "exports/operation_list.h"
#include "zarvoac.h"

// `(a, b)` → `, a, b`; `()` → nothing: prepends the line to a parameter or
// argument list.
#define ZARVO_AFTER_LINE(...) __VA_OPT__(, ) __VA_ARGS__

#define ZARVO_DEFINE_OPERATION(Name, Params, Args, Required, Call)              \
  namespace zarvo {                                                             \
  static int32_t Name##OnLocked(Line& line ZARVO_AFTER_LINE Params) {           \
    if (!AllPresent Required) return kInvalidArgument;                          \
    auto lock = line.Lock();                                                    \
    line.BeginCall();                                                           \
    return line.EndCall(Call);                                                  \
  }                                                                             \
  }                                                                             \
  extern "C" ZARVO_API int32_t ZARVO_CALL Zarvo_##Name Params {                 \
    return zarvo::Name##OnLocked(zarvo::Line::Default() ZARVO_AFTER_LINE Args); \
  }                                                                             \
  extern "C" ZARVO_API int32_t ZARVO_CALL Zarvo_Line##Name(                     \
      ZarvoLine* handle ZARVO_AFTER_LINE Params) {                              \
    if (handle == nullptr) return zarvo::kInvalidArgument;                      \
    return zarvo::Name##OnLocked(zarvo::LineOf(*handle) ZARVO_AFTER_LINE Args); \
  }

ZARVO_OPERATIONS(ZARVO_DEFINE_OPERATION)
