// A controller's event log: 16-byte stored records (BCD date and time, two
// one-byte values, two 24-bit numbers) in the order they happened.
#pragma once

#include <array>
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

StoredEvent MakeStoredEvent(const DateTime& when, uint8_t value1, uint8_t value2,
                            uint32_t number1, uint32_t number2);

class EventLog {
 public:
  void Append(const StoredEvent& event) { records_.push_back(event); }

  const std::vector<StoredEvent>& records() const { return records_; }
  std::vector<StoredEvent>& records() { return records_; }

 private:
  std::vector<StoredEvent> records_;
};

}  // namespace zarvo::sim
