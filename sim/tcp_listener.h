// The listening end of a device server: a TCP socket bound to a host and
// port (0 picks a free one) that hands out accepted connections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "socket_calls.h"

namespace zarvo::sim {

class TcpListener {
 public:
  TcpListener() = default;
  ~TcpListener() { Close(); }
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // Binds and listens; false with the reason in `error`.
  bool Listen(const std::string& host, uint16_t port, std::string& error);
  void Close();

  SocketHandle fd() const { return fd_; }
  uint16_t port() const { return port_; }
  // "HOST:PORT", the IPv6 host in brackets.
  std::string endpoint() const;

  // Accepts a waiting connection with no delay on small writes; kNoSocket
  // when none could be had.
  SocketHandle Accept();

 private:
  SocketHandle fd_ = kNoSocket;
  uint16_t port_ = 0;
  std::string host_;
};

// Sends all `count` bytes to a connected socket; false when the peer is gone.
bool SendAll(SocketHandle socket, const uint8_t* bytes, size_t count);

}  // namespace zarvo::sim
