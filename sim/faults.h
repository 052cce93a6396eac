// Faults the virtual controller can put on its replies, for testing how a
// host copes with a bad line or a misbehaving device.
#pragma once

#include <cstdint>
#include <string>

namespace zarvo::sim {

enum class FaultKind {
  kNone,
  kSilence,       // no reply at all
  kNoise,         // line noise ahead of the reply
  kOtherAddress,  // the reply names another controller
  kOtherCommand,  // the reply echoes another command code
  kRefuse,        // status byte `status` instead of 0
  kTruncate,      // the reply stops before its last `bytes` bytes
  kTrickle,       // one byte every `delay_ms`
  kLate,          // the whole reply after `delay_ms`
  kOverLong,      // a reply longer than any host buffer
  kCloseLine,     // half the reply, then the line is closed
};

struct Fault {
  FaultKind kind = FaultKind::kNone;
  uint32_t delay_ms = 0;
  uint8_t status = 3;
  uint32_t bytes = 4;
  // How many replies in a row it applies to; negative: until cleared.
  int count = 1;
  // Only replies to this command code carry it (0: replies to any command).
  uint8_t command = 0;
};

// "silence", "noise", "late:300", "trickle:20", "refuse:3", "truncate:4", ...
// Returns false for an unknown name.
bool ParseFault(const std::string& text, Fault& fault);
const char* FaultNames();

}  // namespace zarvo::sim
