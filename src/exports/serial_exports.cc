#include "exports/export_support.h"
#include "zarvoac.h"

using zarvo::RunLocked;
using zarvo::Session;

extern "C" {

ZARVO_API int32_t ZARVO_CALL Zarvo_OpenCom(const char* portName, int32_t baud) {
  if (portName == nullptr) return zarvo::kCannotOpen;
  return RunLocked([&](Session& s) { return s.OpenPort(portName, baud); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_CloseCom(void) {
  return RunLocked([](Session& s) {
    s.ClosePort();
    return zarvo::kOk;
  });
}

}  // extern "C"
