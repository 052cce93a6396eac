#include "log/result_text.h"

#include "zarvoac.h"

namespace zarvod {

const char* ResultName(int32_t result) {
  switch (result) {
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

std::string ResultText(int32_t result) {
  return std::string(ResultName(result)) + " (" + std::to_string(result) + ")";
}

}  // namespace zarvod
