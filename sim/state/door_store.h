// The doors of one virtual controller and its duress code.
//
// A remotely opened door stays open until a close command: the controller
// does not time the opening itself, so the host (and a test) sees a stable
// state. A door does not open while a door named in its interlock mask is
// open.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zarvo::sim {

struct DoorState {
  std::array<uint8_t, 4> password{};  // eight hex digits, packed
  std::array<uint8_t, 2> access{};    // first and second setting byte
  std::array<uint8_t, 2> alarm{};     // first and second setting byte
  uint8_t delay = 3;                  // this door's timing value
  uint32_t interlock = 0;             // bit i: door i must be closed to open this one
  std::array<uint8_t, 16> time_table_links{};
  std::array<uint8_t, 16> holiday_time_table_links{};
  uint8_t always_open_link = 0;
  bool open = false;
  uint8_t open_param = 0;  // as given with the last remote open
  bool alarm_raised = false;
};

class DoorStore {
 public:
  static constexpr size_t kDoorCount = 4;

  // A fresh controller lets every door open on bit 0 of its access mode and
  // has an alarm pending on door 0 (a forced door from before the host
  // connected), so clearing it has something to do.
  DoorStore() {
    for (DoorState& door : doors_) door.access[0] = 0x01;
    doors_[0].alarm_raised = true;
  }

  // The door numbered `door`, or nullptr when there is no such door.
  DoorState* Find(uint8_t door) { return door < kDoorCount ? &doors_[door] : nullptr; }
  DoorState& at(size_t door) { return doors_.at(door); }
  const DoorState& at(size_t door) const { return doors_.at(door); }

  // True when another door named in `door`'s interlock mask is open.
  bool InterlockHolds(uint8_t door) const;

  std::array<uint8_t, 4> duress_code{};  // eight hex digits, packed

 private:
  std::array<DoorState, kDoorCount> doors_;
};

}  // namespace zarvo::sim
