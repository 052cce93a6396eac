// What the virtual controller's own event kinds mean, in words, for the
// hosts that show its events: the first value byte is the kind, and for the
// kinds that happen at a door the second is the door's index (0 = door 1).
#pragma once

#include <cstdint>
#include <span>

namespace zarvo::sim {

struct EventKindName {
  uint8_t kind;       // the first value byte (EventKind)
  const char* words;  // "card presented"
  bool at_door;       // the second value byte is the door's index
};

std::span<const EventKindName> EventKindNames();

// The name of `kind`, or nullptr for a kind the virtual controller never logs.
const EventKindName* FindEventKindName(uint8_t kind);

}  // namespace zarvo::sim
