#include "commands/chain_table.h"
#include "commands/holiday_table.h"
#include "commands/week_tables.h"
#include "exports/export_support.h"
#include "zarvoac.h"

using zarvo::AllPresent;
using zarvo::RunLocked;
using zarvo::Session;

extern "C" {

ZARVO_API int32_t ZARVO_CALL Zarvo_TimeTable(int32_t address, int32_t tableNo, int32_t* record,
                                             int32_t mode) {
  if (!AllPresent(record)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::TimeTable(s, address, tableNo, record, mode); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_HolidayTimeTable(int32_t address, int32_t tableNo,
                                                    int32_t* record, int32_t mode) {
  if (!AllPresent(record)) return zarvo::kInvalidArgument;
  return RunLocked(
      [&](Session& s) { return zarvo::HolidayTimeTable(s, address, tableNo, record, mode); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_AlwaysOpenOfWeek(int32_t address, int32_t tableNo,
                                                    int32_t* record, int32_t mode) {
  if (!AllPresent(record)) return zarvo::kInvalidArgument;
  return RunLocked(
      [&](Session& s) { return zarvo::AlwaysOpenOfWeek(s, address, tableNo, record, mode); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_HolidayTable(int32_t address, int32_t index, int32_t* record,
                                                int32_t mode) {
  if (!AllPresent(record)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::HolidayTable(s, address, index, record, mode); });
}

ZARVO_API int32_t ZARVO_CALL Zarvo_ChianTable(int32_t address, int32_t* record, int32_t group,
                                              int32_t mode) {
  if (!AllPresent(record)) return zarvo::kInvalidArgument;
  return RunLocked([&](Session& s) { return zarvo::ChianTable(s, address, record, group, mode); });
}

}  // extern "C"
