#include "line/last_error.h"

#include <cstdarg>
#include <cstdio>

#include "result_codes.h"

namespace zarvo {

void LastError::Set(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(text_, sizeof text_, format, args);
  va_end(args);
}

const char* ResultWords(int32_t result) {
  switch (result) {
    case kRefused: return "the controller refused the command";
    case kNoReply: return "no reply";
    case kNoStartByte: return "the reply has no start mark";
    case kMismatch: return "the reply belongs to another address or command";
    case kShortReply: return "the reply is shorter than the table";
    case kNotOpen: return "no port open";
    case kTooLong: return "the reply is longer than 8192 bytes";
    case kInvalidArgument: return "an argument is invalid; nothing was sent";
    default: return "the call failed";
  }
}

}  // namespace zarvo
