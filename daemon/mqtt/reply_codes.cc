#include "reply_codes.h"

#include "zarvoac.h"

namespace zarvo::mqtt {
namespace {

// The names of the library's result codes, as the header spells them.
const char* LibraryResultName(int32_t code) {
  switch (code) {
    case ZARVO_OK: return "OK";
    case ZARVO_E_REFUSED: return "REFUSED";
    case ZARVO_E_QUEUE_SIZES: return "QUEUE_SIZES";
    case ZARVO_E_LINE_DEFINITION: return "LINE_DEFINITION";
    case ZARVO_E_PORT_SETTINGS: return "PORT_SETTINGS";
    case ZARVO_E_PORT_TIMEOUTS: return "PORT_TIMEOUTS";
    case ZARVO_E_NO_REPLY: return "NO_REPLY";
    case ZARVO_E_NO_START_BYTE: return "NO_START_BYTE";
    case ZARVO_E_MISMATCH: return "MISMATCH";
    case ZARVO_E_SHORT_REPLY: return "SHORT_REPLY";
    case ZARVO_E_NOT_OPEN: return "NOT_OPEN";
    case ZARVO_E_TOO_LONG: return "TOO_LONG";
    case ZARVO_E_INVALID_ARG: return "INVALID_ARG";
    default: return "UNKNOWN";
  }
}

}  // namespace

const char* ReplyCodeName(int32_t code) {
  switch (code) {
    case kExpired: return "EXPIRED";
    case kMalformed: return "MALFORMED";
    case kDisabled: return "DISABLED";
    case kUnknownController: return "UNKNOWN_CONTROLLER";
    case kUnknownCommand: return "UNKNOWN_COMMAND";
    case kBadSignature: return "BAD_SIGNATURE";
    default: return LibraryResultName(code);
  }
}

}  // namespace zarvo::mqtt
