// The health counters of a line: what its exchanges ended in and what the
// replies looked like on the wire. Updated under the line's lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zarvoac.h"

namespace zarvo {

// Adds `by`, stopping at the top rather than wrapping round to a small,
// misleading count.
inline void Bump(uint32_t& counter, uint32_t by = 1) {
  counter = counter > UINT32_MAX - by ? UINT32_MAX : counter + by;
}

// Counts one exchange and what it ended in.
void CountResult(ZarvoLineStats& stats, int32_t result);

// Looks at the `count` bytes received for a reply (echo dropped): counts
// the bytes ahead of its start mark (all of them when none came) and
// whether a byte between its start and end marks lies outside 0x00-0x0F.
void CountReplyBytes(ZarvoLineStats& stats, const uint8_t* reply, size_t count);

}  // namespace zarvo
