#include "line/line_stats.h"

#include <cstring>

#include "codec/frame_codec.h"
#include "result_codes.h"

namespace zarvo {

void CountResult(ZarvoLineStats& stats, int32_t result) {
  Bump(stats.exchanges);
  switch (result) {
    case kOk: Bump(stats.successes); break;
    case kRefused: Bump(stats.refusals); break;
    case kNoReply: Bump(stats.noReply); break;
    case kNoStartByte: Bump(stats.noStartByte); break;
    case kMismatch: Bump(stats.mismatches); break;
    case kNotOpen: Bump(stats.notOpen); break;
    case kTooLong: Bump(stats.tooLong); break;
    default: break;
  }
}

void CountReplyBytes(ZarvoLineStats& stats, const uint8_t* reply, size_t count) {
  const void* found = std::memchr(reply, kReplyStart, count);
  if (found == nullptr) {
    Bump(stats.noiseBytes, static_cast<uint32_t>(count));
    return;
  }
  const size_t start = static_cast<size_t>(static_cast<const uint8_t*>(found) - reply);
  Bump(stats.noiseBytes, static_cast<uint32_t>(start));
  for (size_t i = start + 1; i < count; ++i) {
    if (reply[i] > 0x0F) {
      Bump(stats.badByteFrames);
      return;
    }
  }
}

}  // namespace zarvo
