#include "tcp_listener.h"

namespace zarvo::sim {

bool TcpListener::Listen(const std::string& host, uint16_t port, std::string& error) {
  Close();
  fd_ = ListenOn(host, port, port_, error);
  if (fd_ == kNoSocket) return false;
  host_ = host.empty() ? "0.0.0.0" : host;
  return true;
}

void TcpListener::Close() {
  net::CloseSocket(fd_);
  fd_ = kNoSocket;
}

std::string TcpListener::endpoint() const {
  const bool ipv6 = host_.find(':') != std::string::npos;
  return (ipv6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
}

SocketHandle TcpListener::Accept() { return AcceptConnection(fd_); }

bool SendAll(SocketHandle socket, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const long sent = net::SendBytes(socket, bytes, count);
    if (sent < 0 && net::IsInterrupted(net::LastSocketError())) continue;
    if (sent <= 0) return false;
    bytes += sent;
    count -= static_cast<size_t>(sent);
  }
  return true;
}

}  // namespace zarvo::sim
