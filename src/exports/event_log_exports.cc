#include "commands/event_log.h"
#include "exports/export_support.h"
#include "zarvoac.h"

using zarvo::AllPresent;
using zarvo::RunLocked;
using zarvo::Session;

extern "C" {

ZARVO_API int32_t ZARVO_CALL Zarvo_ReadRecordOfBlock(int32_t address, int32_t block,
                                                     EventRecord* records) {
  if (!AllPresent(records)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::ReadRecordOfBlock(s, address, block, records); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_ReadOne(int32_t address, EventRecord* record) {
  if (!AllPresent(record)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::ReadOne(s, address, *record); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_MoveNext(int32_t address, EventRecord* record) {
  if (!AllPresent(record)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::MoveNext(s, address, *record); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_ClearRecord(int32_t address) {
  return RunLocked([&](Session& s) { return zarvo::ClearRecord(s, address); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_RestoreRecord(int32_t address) {
  return RunLocked([&](Session& s) { return zarvo::RestoreRecord(s, address); });
}

// Kept for hosts written against older controllers: it sends nothing and
// works without an open port.
ZARVO_API int32_t ZARVO_CALL Zarvo_RestoreMaxRecord(int32_t /*unused*/) { return zarvo::kOk; }

}  // extern "C"
