// The socket calls the virtual controller's network side needs beyond the
// library's socket shim: listening, accepting, waiting on several sockets
// at once and a connected pair for waking a waiting thread. The
// differences between POSIX sockets and Winsock stay in
// socket_calls_posix.cc and socket_calls_win32.cc.
#pragma once

#include <cstdint>
#include <string>

#include "transport/socket_shim.h"

namespace zarvo::sim {

using net::kNoSocket;
using net::SocketHandle;

// A stream socket bound to `host`:`port` (an empty host: any address; port
// 0: any free port) and listening; sets `bound_port`. kNoSocket with the
// reason in `error` when it cannot.
SocketHandle ListenOn(const std::string& host, uint16_t port, uint16_t& bound_port,
                      std::string& error);
// Accepts a waiting connection, not inherited by child processes and with
// no delay on small writes; kNoSocket when none could be had.
SocketHandle AcceptConnection(SocketHandle listener);
// Two connected sockets: a byte sent on pair[1] makes pair[0] readable.
bool OpenSocketPair(SocketHandle pair[2]);

// Waits up to `timeout_ms` (-1: no limit) until one of `sockets` has input
// or its peer hung up; kNoSocket entries are left out. The index of the
// first ready one, kWaitTimedOut (a signal included) or kWaitFailed.
inline constexpr int kWaitTimedOut = -1;
inline constexpr int kWaitFailed = -2;
int WaitForInput(const SocketHandle* sockets, int count, int timeout_ms);

}  // namespace zarvo::sim
