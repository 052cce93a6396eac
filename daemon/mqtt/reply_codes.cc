#include "reply_codes.h"

#include "log/result_text.h"

namespace zarvo::mqtt {

const char* ReplyCodeName(int32_t code) {
  switch (code) {
    case kExpired: return "EXPIRED";
    case kMalformed: return "MALFORMED";
    case kDisabled: return "DISABLED";
    case kUnknownController: return "UNKNOWN_CONTROLLER";
    case kUnknownCommand: return "UNKNOWN_COMMAND";
    case kBadSignature: return "BAD_SIGNATURE";
    default: return zarvod::ResultName(code);
  }
}

}  // namespace zarvo::mqtt
