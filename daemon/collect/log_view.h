// What the controller tells about its event log in its device values, and
// the stored record behind an EventRecord the line API returns.
#pragma once

#include "journal/stored_record.h"
#include "zarvoac.h"

namespace zarvod {

struct LogView {
  int capacity = 0;   // records the log can hold
  int count = 0;      // records in the log now, oldest at index 0
  int position = 0;   // index of the read position (count: past the last record)
  int set_aside = 0;  // records a clear has set aside (a restore brings them back)

  bool full() const { return capacity > 0 && count >= capacity; }
};

// The six device values, in the controller's order: door count, log
// capacity, records, read position, records set aside, firmware build.
LogView LogViewFromDeviceValues(const int32_t values[6]);

// The 16 bytes the controller stored, rebuilt from the record the library
// formatted. Bytes 8 and 12, which the line API does not pass on, are 0.
StoredRecord StoredFromEventRecord(const EventRecord& record);

}  // namespace zarvod
