// Host name lookup within a deadline. The system's lookup has no time limit
// of its own: a name server that never answers holds it for the resolver's
// whole retry time (10 s and more), and the line's lock with it. So a name
// is looked up on a thread of its own, and the caller waits for it no longer
// than its deadline; a lookup given up on finishes on that thread and frees
// what it used. Numeric addresses need no name server and no thread.
#pragma once

#include <cstdint>

#include "transport/socket_shim.h"

namespace zarvo::net {

// The blocking lookup run on the lookup thread: ResolveAddresses, or in
// tests one that never answers. Returns the count found or -1.
using BlockingLookup = int (*)(const char* host, const char* port, SocketAddress* out,
                               int capacity);

inline constexpr int kLookupFailed = -1;
inline constexpr int kLookupTimedOut = -2;
// At most this many addresses are kept for one name.
inline constexpr int kMaxLookupAddresses = 8;

// Resolves `host` and the numeric `port` into at most `capacity` (up to
// kMaxLookupAddresses) addresses within `wait_ms`: the count found,
// kLookupFailed, or kLookupTimedOut.
int LookUpWithin(const char* host, const char* port, SocketAddress* out, int capacity,
                 uint32_t wait_ms, BlockingLookup lookup);

}  // namespace zarvo::net
