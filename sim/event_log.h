// A controller's event log: 16-byte stored records (BCD date and time, two
// one-byte values, two 24-bit numbers) in the order they happened, with a
// read position for record-by-record reading.
//
// Clearing only sets the records aside (as a controller that merely moves
// its log pointer would); restoring puts them back in front of whatever was
// logged since. The log holds at most capacity() records (kCapacity unless
// set otherwise); when it is full the oldest record gives way to the newest.
//
// What a host collecting the log relies on, and this log keeps to: the read
// position stays on its record when older ones drop off a full log, and
// rests on the oldest when its own record drops; block reads and the device
// values (record count, read position, records set aside) never move it;
// block b holds the records whose indexes (as the read position counts
// them) run from b * kBlockRecords on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "controller_clock.h"

namespace zarvo::sim {

using StoredEvent = std::array<uint8_t, 16>;

// Event values (first value byte) that the virtual controller writes for
// its own activity.
enum EventKind : uint8_t {
  kEventCardRegistered = 1,
  kEventCardDeleted = 2,
  kEventClockSet = 3,
  kEventDoorOpened = 4,
  kEventDoorClosed = 5,
  kEventAlarmCleared = 6,
  kEventSettingsChanged = 7,
  kEventCardPresented = 8,
};

StoredEvent MakeStoredEvent(const DateTime& when, uint8_t value1, uint8_t value2, uint32_t number1,
                            uint32_t number2);

class EventLog {
 public:
  static constexpr size_t kCapacity = 4096;
  static constexpr size_t kBlockRecords = 192;

  size_t capacity() const { return capacity_; }
  // A smaller log, as some controllers have; records beyond it drop at once.
  void set_capacity(size_t capacity);

  void Append(const StoredEvent& event);

  // The records in the log now, oldest first.
  const std::vector<StoredEvent>& records() const { return records_; }
  std::vector<StoredEvent>& records() { return records_; }

  // The record at the read position; an empty (all-zero) record once the
  // position has passed the last record. A record logged later then
  // becomes the current one.
  StoredEvent Current() const;
  // Advances the read position (it stops just past the last record) and
  // returns the record there.
  StoredEvent Next();
  size_t position() const { return position_; }

  // Block `block` of the log: kBlockRecords slots of 16 bytes, records
  // block * kBlockRecords on, all-zero slots where the log has no record.
  std::vector<uint8_t> Block(uint8_t block) const;

  // Sets every record aside; the log reads as empty from its start.
  void Clear();
  // Brings back every record set aside, ahead of those logged since; the
  // read position returns to the oldest record.
  void Restore();
  size_t set_aside() const { return cleared_.size(); }
  const std::vector<StoredEvent>& set_aside_records() const { return cleared_; }

  // The log as it was kept: its records, those set aside and the read
  // position (past the last record at most).
  void Reload(std::vector<StoredEvent> records, std::vector<StoredEvent> set_aside,
              size_t position);

 private:
  void DropOldestBeyondCapacity();

  std::vector<StoredEvent> records_;
  std::vector<StoredEvent> cleared_;
  size_t position_ = 0;
  size_t capacity_ = kCapacity;
};

// Logs a few plausible events of the last hours (cards presented at doors,
// a door opened), so a freshly started controller has a history to read.
void SeedHistory(EventLog& log, const ControllerClock& clock);

}  // namespace zarvo::sim
