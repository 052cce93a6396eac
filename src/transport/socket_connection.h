// A TCP connection to a device server that can be had again: the address
// found when the line opened is kept, so that reconnecting after the server
// dropped the connection needs no name lookup and no allocation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transport/clock.h"
#include "transport/name_lookup.h"
#include "transport/open_failure.h"
#include "transport/socket_shim.h"

namespace zarvo::net {

class SocketConnection {
 public:
  static constexpr uint32_t kConnectDeadlineMs = 3000;

  SocketConnection() = default;
  ~SocketConnection() { Close(); }
  SocketConnection(const SocketConnection&) = delete;
  SocketConnection& operator=(const SocketConnection&) = delete;

  // Parses `endpoint` ("HOST:PORT"), resolves it and connects, all within
  // kConnectDeadlineMs; false with the reason in `why`. `scheme` names the
  // port kind in the reason ("tcp").
  bool Open(const char* endpoint, const char* scheme, OpenFailure& why);
  // The blocking name lookup Open runs on its lookup thread; tests put in
  // one that never answers.
  void set_name_lookup(BlockingLookup lookup) { lookup_ = lookup; }
  void Close();

  // From a successful Open until Close, connected or not.
  bool is_open() const { return open_; }
  bool connected() const { return socket_ != kNoSocket; }

  // Connects again when the connection was lost; false when that fails.
  bool EnsureConnected();
  // Connections made again since the open, for the line's counters.
  uint32_t reconnects() const { return reconnects_; }
  // Forgets the connection; the next EnsureConnected makes a new one.
  void MarkLost();

  // Sends the whole block within `wait_ms` (one send call unless the system
  // takes less); false when the connection failed or the server took too
  // long to read, the connection being then lost.
  bool Send(const uint8_t* bytes, size_t count, uint32_t wait_ms);
  // Waits up to `wait_ms` and receives what is there: the count, 0 when the
  // wait ran out, or -1 when the server closed or the connection failed
  // (the connection is then lost).
  int32_t Receive(uint8_t* dest, size_t capacity, uint32_t wait_ms);

  // Reads what is already waiting, without blocking, and hands each chunk to
  // `take(bytes, count)`; false when the connection was lost or `take`
  // returned false. Bounded, so a server streaming without pause cannot
  // hold the caller.
  template <typename Take>
  bool DrainWaiting(Take&& take) {
    constexpr int kMaxReads = 64;
    uint8_t scratch[1024];
    for (int i = 0; i < kMaxReads; ++i) {
      const int32_t got = Receive(scratch, sizeof scratch, 0);
      if (got == 0) return true;
      if (got < 0 || !take(scratch, static_cast<size_t>(got))) return false;
    }
    return true;
  }

 private:
  // Connects to `address` within `wait_ms`; 0 or the system error.
  int ConnectTo(const SocketAddress& address, uint32_t wait_ms);

  BlockingLookup lookup_ = ResolveAddresses;
  SocketAddress address_;
  SocketHandle socket_ = kNoSocket;
  bool open_ = false;
  uint32_t reconnects_ = 0;
  MonotonicClock clock_;
};

}  // namespace zarvo::net
