// Two exchanges fed arbitrary reply byte streams through a scripted line:
// every result must be a documented code, and nothing may be written past
// the caller's capacity.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "result_codes.h"
#include "scripted_line.h"

namespace {

bool IsExchangeResult(int32_t r) {
  using namespace zarvo;
  return r == kOk || r == kRefused || r == kNoReply || r == kNoStartByte || r == kMismatch ||
         r == kNotOpen || r == kTooLong;
}

}  // namespace

// Input: capacity selector, timeout selector, address, command, then steps
// of [delay][length][bytes...]; a length of 0xFF is a hang-up.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  zarvo::testing::ScriptedLine t;
  const int32_t capacity = 4 + data[0] % 252;
  const uint32_t timeout = static_cast<uint32_t>(data[1]) * 40;
  size_t at = 4;
  while (at + 2 <= size) {
    const uint8_t delay = data[at];
    const uint8_t length = data[at + 1];
    at += 2;
    if (length == 0xFF) {
      t.transport().HangUp(delay);
      break;
    }
    const size_t n = std::min<size_t>(length, size - at);
    t.transport().Arrive(delay, std::vector<uint8_t>(data + at, data + at + n));
    at += n;
  }
  // Two calls, the second to the same or the next address: what the first
  // leaves unread, a late reply among it, reaches the second.
  for (uint8_t next = 0; next < 2; ++next) {
    std::vector<uint8_t> buffer(static_cast<size_t>(capacity) + 16, 0xA5);
    buffer[0] = 0x80;
    buffer[1] = static_cast<uint8_t>(data[2] + (next & data[0] & 1));
    buffer[2] = data[3];
    int32_t length = 3;
    const int32_t result = t.line().Exchange(buffer.data(), capacity, length, timeout);
    if (!IsExchangeResult(result)) std::abort();
    for (size_t i = static_cast<size_t>(capacity); i < buffer.size(); ++i) {
      if (buffer[i] != 0xA5) std::abort();
    }
    if (result == zarvo::kOk && length < 0) std::abort();
  }
  return 0;
}
