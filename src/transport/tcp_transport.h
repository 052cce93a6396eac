// Raw TCP to a serial device server (tcp://HOST:PORT): the server passes the
// bytes to and from its serial port unchanged. The line speed is the
// server's own setting.
#pragma once

#include "transport/open_failure.h"
#include "transport/socket_connection.h"
#include "transport/transport.h"

namespace zarvo {

class TcpTransport final : public Transport {
 public:
  TcpTransport() = default;
  ~TcpTransport() override { Close(); }
  TcpTransport(const TcpTransport&) = delete;
  TcpTransport& operator=(const TcpTransport&) = delete;

  // Connects to `endpoint` ("HOST:PORT", "[IPv6]:PORT"); returns 0 or -1
  // with the reason in `why`.
  int32_t Open(const char* endpoint, OpenFailure& why);
  void Close() override;
  bool IsOpen() const override;
  int32_t StartExchange() override;
  int32_t Write(const uint8_t* bytes, size_t count, uint32_t wait_ms) override;
  int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) override;
  uint32_t Reconnects() const override { return connection_.reconnects(); }

 private:
  // Drops input waiting from before this exchange; false when the server
  // closed the connection meanwhile.
  bool DiscardStaleInput();

  net::SocketConnection connection_;
};

}  // namespace zarvo
