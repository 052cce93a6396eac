#include "transport/tcp_transport.h"

#include "result_codes.h"

namespace zarvo {

int32_t TcpTransport::Open(const char* endpoint, OpenFailure& why) {
  return connection_.Open(endpoint, "tcp", why) ? kOk : kCannotOpen;
}

void TcpTransport::Close() { connection_.Close(); }

bool TcpTransport::IsOpen() const { return connection_.is_open(); }

int32_t TcpTransport::StartExchange() {
  // A server that closed the connection while its stale input was drained
  // gets one more connect.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!connection_.EnsureConnected()) return kDeviceGone;
    if (DiscardStaleInput()) return 0;
  }
  SetFailure("the device server cannot be reached again");
  return kDeviceGone;
}

bool TcpTransport::DiscardStaleInput() {
  return connection_.DrainWaiting([](uint8_t*, size_t) { return true; });
}

int32_t TcpTransport::Write(const uint8_t* bytes, size_t count, uint32_t wait_ms) {
  if (connection_.Send(bytes, count, wait_ms)) return static_cast<int32_t>(count);
  SetFailure("the device server took no data in time, or the connection failed while sending");
  return kDeviceGone;
}

int32_t TcpTransport::Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) {
  const int32_t got = connection_.Receive(dest, capacity, wait_ms);
  if (got >= 0) return got;
  SetFailure("the device server closed the connection");
  return kDeviceGone;
}

}  // namespace zarvo
