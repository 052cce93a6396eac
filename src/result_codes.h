// Result codes of the library, as C++ constants, and their names.
#pragma once

#include <cstdint>

#include "zarvoac.h"

namespace zarvo {

inline constexpr int32_t kOk = ZARVO_OK;
inline constexpr int32_t kRefused = ZARVO_E_REFUSED;
inline constexpr int32_t kCannotOpen = ZARVO_E_REFUSED;
inline constexpr int32_t kQueueSizes = ZARVO_E_QUEUE_SIZES;
inline constexpr int32_t kLineDefinition = ZARVO_E_LINE_DEFINITION;
inline constexpr int32_t kPortSettings = ZARVO_E_PORT_SETTINGS;
inline constexpr int32_t kPortTimeouts = ZARVO_E_PORT_TIMEOUTS;
inline constexpr int32_t kNoReply = ZARVO_E_NO_REPLY;
inline constexpr int32_t kNoStartByte = ZARVO_E_NO_START_BYTE;
inline constexpr int32_t kMismatch = ZARVO_E_MISMATCH;
inline constexpr int32_t kShortReply = ZARVO_E_SHORT_REPLY;
inline constexpr int32_t kNotOpen = ZARVO_E_NOT_OPEN;
inline constexpr int32_t kTooLong = ZARVO_E_TOO_LONG;
inline constexpr int32_t kInvalidArgument = ZARVO_E_INVALID_ARG;

// The constant's name without its prefix ("NO_REPLY"), or "UNKNOWN".
const char* ResultName(int32_t result);

}  // namespace zarvo
