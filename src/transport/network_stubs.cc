// Placeholder network transports until the socket code lands.
#include "result_codes.h"
#include "transport/tcp_transport.h"
#include "transport/telnet_transport.h"

namespace zarvo {

int32_t TcpTransport::Open(const char*, OpenFailure& why) {
  why.Set("tcp:// is not available in this build");
  return kCannotOpen;
}
void TcpTransport::Close() {}
bool TcpTransport::IsOpen() const { return false; }
int32_t TcpTransport::StartExchange() { return kDeviceGone; }
int32_t TcpTransport::Write(const uint8_t*, size_t) { return 0; }
int32_t TcpTransport::Read(uint8_t*, size_t, uint32_t) { return kDeviceGone; }

int32_t TelnetTransport::Open(const char*, int32_t, OpenFailure& why) {
  why.Set("rfc2217:// is not available in this build");
  return kCannotOpen;
}
void TelnetTransport::Close() {}
bool TelnetTransport::IsOpen() const { return false; }
int32_t TelnetTransport::StartExchange() { return kDeviceGone; }
int32_t TelnetTransport::Write(const uint8_t*, size_t) { return 0; }
int32_t TelnetTransport::Read(uint8_t*, size_t, uint32_t) { return kDeviceGone; }

}  // namespace zarvo
