// Ways the line between the host and the virtual controllers can misbehave
// as real lines do: controllers set to another speed than the host's port,
// and stray bytes between frames.
#pragma once

#include <cstdint>
#include <vector>

#include "request_parser.h"

namespace zarvo::sim {

// What the host receives when a controller at another speed than the
// host's port answers `request`: bytes with their high nibbles set and no
// frame mark or 0x00 among them, so nothing in them decodes.
std::vector<uint8_t> AtOtherSpeed(const Request& request);

// What the host receives when several controllers send `replies` at the
// same moment: the bytes they all agree on, from the first byte they differ
// in on garbage (the receiver loses the byte boundaries), and the end mark.
std::vector<uint8_t> Collide(const std::vector<std::vector<uint8_t>>& replies);

// Puts a few stray bytes (outside 0x00-0x0F, no frame marks) ahead of a
// reply, as a noisy line or a second master would.
void AddStrayBytes(std::vector<uint8_t>& wire);

}  // namespace zarvo::sim
