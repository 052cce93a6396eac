#include "result_codes.h"

namespace zarvo {

const char* ResultName(int32_t result) {
  switch (result) {
    case kOk: return "OK";
    case kRefused: return "REFUSED";
    case kQueueSizes: return "QUEUE_SIZES";
    case kLineDefinition: return "LINE_DEFINITION";
    case kPortSettings: return "PORT_SETTINGS";
    case kPortTimeouts: return "PORT_TIMEOUTS";
    case kNoReply: return "NO_REPLY";
    case kNoStartByte: return "NO_START_BYTE";
    case kMismatch: return "MISMATCH";
    case kShortReply: return "SHORT_REPLY";
    case kNotOpen: return "NOT_OPEN";
    case kTooLong: return "TOO_LONG";
    case kInvalidArgument: return "INVALID_ARG";
    default: return "UNKNOWN";
  }
}

}  // namespace zarvo
