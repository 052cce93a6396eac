#include "faults.h"

#include <cstdlib>

namespace zarvo::sim {
namespace {

struct NamedFault {
  const char* name;
  FaultKind kind;
};

constexpr NamedFault kFaults[] = {
    {"silence", FaultKind::kSilence},       {"noise", FaultKind::kNoise},
    {"other-address", FaultKind::kOtherAddress},
    {"other-command", FaultKind::kOtherCommand},
    {"refuse", FaultKind::kRefuse},         {"truncate", FaultKind::kTruncate},
    {"trickle", FaultKind::kTrickle},       {"late", FaultKind::kLate},
    {"over-long", FaultKind::kOverLong},    {"close-line", FaultKind::kCloseLine},
};

}  // namespace

bool ParseFault(const std::string& text, Fault& fault) {
  const size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  const long value = colon == std::string::npos ? -1 : std::strtol(text.c_str() + colon + 1, nullptr, 10);
  for (const NamedFault& f : kFaults) {
    if (name != f.name) continue;
    fault = Fault{};
    fault.kind = f.kind;
    if (value >= 0) {
      fault.delay_ms = static_cast<uint32_t>(value);
      fault.bytes = static_cast<uint32_t>(value);
      fault.status = static_cast<uint8_t>(value);
    }
    if (f.kind == FaultKind::kTrickle && value < 0) fault.delay_ms = 20;
    if (f.kind == FaultKind::kLate && value < 0) fault.delay_ms = 1000;
    if (f.kind == FaultKind::kRefuse && value < 0) fault.status = 3;
    if (f.kind == FaultKind::kTruncate && value < 0) fault.bytes = 4;
    return true;
  }
  return false;
}

const char* FaultNames() {
  return "silence, noise, other-address, other-command, refuse[:STATUS], truncate[:BYTES], "
         "trickle[:MS], late[:MS], over-long, close-line";
}

}  // namespace zarvo::sim
