#include "line_conditions.h"

#include <iterator>

#include "codec/frame_codec.h"

namespace zarvo::sim {
namespace {

constexpr uint8_t kStray[] = {0x7F, 0xF3, 0x3C};

}  // namespace

std::vector<uint8_t> AtOtherSpeed(const Request& request) {
  // About a probe reply's worth of bytes, different for each address.
  std::vector<uint8_t> garbage(14);
  for (size_t i = 0; i < garbage.size(); ++i) {
    uint8_t b =
        static_cast<uint8_t>(0x80 | ((i * 29 + request.address * 7u + request.command) & 0x7F));
    if (b == kReplyStart || b == kRequestStart) ++b;
    garbage[i] = b;
  }
  return garbage;
}

std::vector<uint8_t> Collide(const std::vector<std::vector<uint8_t>>& replies) {
  size_t longest = 0;
  for (const auto& r : replies) longest = r.size() > longest ? r.size() : longest;
  std::vector<uint8_t> heard(longest);
  bool garbled = false;
  for (size_t i = 0; i < longest; ++i) {
    auto at = [i](const std::vector<uint8_t>& r) -> uint8_t { return i < r.size() ? r[i] : 0xFF; };
    uint8_t merged = 0;
    for (const auto& r : replies) {
      garbled = garbled || at(r) != at(replies[0]);
      merged = static_cast<uint8_t>(merged | at(r));
    }
    uint8_t b = garbled ? static_cast<uint8_t>(0x80 | merged) : merged;
    if (b == kReplyStart || b == kRequestStart) ++b;
    heard[i] = garbled ? b : merged;
  }
  if (garbled && !heard.empty()) heard.back() = kReplyEnd;
  return heard;
}

void AddStrayBytes(std::vector<uint8_t>& wire) {
  wire.insert(wire.begin(), std::begin(kStray), std::end(kStray));
}

}  // namespace zarvo::sim
