#include "commands/management.h"
#include "exports/export_support.h"
#include "zarvoac.h"

using zarvo::AllPresent;
using zarvo::RunLocked;
using zarvo::Session;

extern "C" {

ZARVO_API int32_t ZARVO_CALL Zarvo_SearchAR(int32_t address) {
  return RunLocked([&](Session& s) { return zarvo::SearchAR(s, address); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_ChangeAR(int32_t address, int32_t newAddress) {
  return RunLocked([&](Session& s) { return zarvo::ChangeAR(s, address, newAddress); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_Ver(int32_t address, char* version) {
  if (!AllPresent(version)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::Ver(s, address, version); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_Time(int32_t address) {
  return RunLocked([&](Session& s) { return zarvo::Time(s, address); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_ChangeBaud(int32_t address, int32_t baud) {
  return RunLocked([&](Session& s) { return zarvo::ChangeBaud(s, address, baud); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_Init(int32_t address) {
  return RunLocked([&](Session& s) { return zarvo::Init(s, address); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_DeviceInformation(int32_t address, int32_t* values) {
  if (!AllPresent(values)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::DeviceInformation(s, address, values); });
}

}  // extern "C"
