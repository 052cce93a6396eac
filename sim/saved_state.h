// A virtual controller's memory as text, and back: the event log with its
// read position and the records a clear set aside, the card list, the
// clock's offset from the host's and the line speed setting. A host that
// stops and starts its virtual controllers again finds them as it left
// them, as it would real ones. Door settings and tables are not kept: they
// come back at factory settings.
//
// The text is lines of "word values": a "controller ADDRESS" line starts
// each controller's part.
#pragma once

#include <string>

#include "virtual_bus.h"

namespace zarvo::sim {

// The first line of a state file, naming its form.
inline constexpr const char* kSavedStateHeader = "zarvo-sim state 1";

// Every controller of `bus`, as "controller ..." parts (no header).
std::string SaveBusState(VirtualBus& bus);

// Puts the controllers' memory in `text` (as SaveBusState wrote it) back
// into `bus`'s controllers of the same addresses; parts for addresses the
// bus does not serve are passed over. False, with `error` naming the line,
// when the text is not a saved state; the bus is then unchanged.
bool LoadBusState(VirtualBus& bus, const std::string& text, std::string& error);

}  // namespace zarvo::sim
