#include "exports/export_support.h"
#include "zarvoac.h"

using zarvo::RunLocked;
using zarvo::Session;

extern "C" {

ZARVO_API int32_t ZARVO_CALL Zarvo_OpenCom(const char* portName, int32_t baud) {
  return RunLocked([&](Session& s) {
    if (portName != nullptr) return s.OpenPort(portName, baud);
    // Like any open that fails: the port held before is closed, none is open.
    s.ClosePort();
    return zarvo::kCannotOpen;
  });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_CloseCom(void) {
  return RunLocked([](Session& s) {
    s.ClosePort();
    return zarvo::kOk;
  });
}

}  // extern "C"
