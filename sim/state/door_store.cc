#include "state/door_store.h"

namespace zarvo::sim {

bool DoorStore::InterlockHolds(uint8_t door) const {
  const uint32_t mask = doors_.at(door).interlock;
  for (size_t other = 0; other < kDoorCount; ++other) {
    if (other != door && (mask >> other & 1u) != 0 && doors_[other].open) return true;
  }
  return false;
}

}  // namespace zarvo::sim
