#include "commands/card_registry.h"
#include "exports/export_support.h"
#include "zarvoac.h"

using zarvo::AllPresent;
using zarvo::RunLocked;
using zarvo::Session;

extern "C" {

ZARVO_API int32_t ZARVO_CALL Zarvo_Registry(int32_t address, CardRecord* record, uint32_t* ticks,
                                            int32_t mode, int32_t flag) {
  if (!AllPresent(record, ticks)) return zarvo::kInvalidArgument;
  return RunLocked(
      [&](Session& s) { return zarvo::Registry(s, address, *record, *ticks, mode, flag); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_RegistryDouble(int32_t address, DoubleCardRecord* record,
                                                  uint32_t* ticks, int32_t mode) {
  if (!AllPresent(record, ticks)) return zarvo::kInvalidArgument;
  return RunLocked(
      [&](Session& s) { return zarvo::RegistryDouble(s, address, *record, *ticks, mode); });
}

}  // extern "C"
