// Winsock's own header comes before the ones built on it.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include "socket_calls.h"

namespace zarvo::sim {
namespace {

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

std::string ErrorText(int error) {
  const char* words = net::SocketErrorWords(error);
  return words != nullptr ? words : "Winsock error " + std::to_string(error);
}

SocketHandle OpenPrivateSocket(int family) {
  const SOCKET s =
      WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
}

}  // namespace

SocketHandle ListenOn(const std::string& host, uint16_t port, uint16_t& bound_port,
                      std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found) != 0) {
    error = "cannot resolve '" + host + "': " + ErrorText(WSAGetLastError());
    return kNoSocket;
  }
  // No SO_REUSEADDR: on Windows it would let another program take the port.
  const SocketHandle s = OpenPrivateSocket(found->ai_family);
  if (s == kNoSocket || bind(Native(s), found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 ||
      listen(Native(s), 4) != 0) {
    error = "cannot listen on " + host + ":" + service + ": " + ErrorText(WSAGetLastError());
    net::CloseSocket(s);
    freeaddrinfo(found);
    return kNoSocket;
  }
  freeaddrinfo(found);
  sockaddr_storage bound{};
  int size = sizeof bound;
  getsockname(Native(s), reinterpret_cast<sockaddr*>(&bound), &size);
  bound_port =
      ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                        : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return s;
}

SocketHandle AcceptConnection(SocketHandle listener) {
  const SOCKET s = accept(Native(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return kNoSocket;
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  const BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return static_cast<SocketHandle>(s);
}

// Windows has no socketpair(): a loopback connection to a listener that is
// closed again at once.
bool OpenSocketPair(SocketHandle pair[2]) {
  uint16_t port = 0;
  std::string error;
  const SocketHandle listener = ListenOn("127.0.0.1", 0, port, error);
  if (listener == kNoSocket) return false;
  pair[1] = OpenPrivateSocket(AF_INET);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      pair[1] != kNoSocket &&
      connect(Native(pair[1]), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
  pair[0] = connected ? AcceptConnection(listener) : kNoSocket;
  net::CloseSocket(listener);
  if (pair[0] != kNoSocket) return true;
  net::CloseSocket(pair[1]);
  pair[1] = kNoSocket;
  return false;
}

int WaitForInput(const SocketHandle* sockets, int count, int timeout_ms) {
  fd_set readable;
  FD_ZERO(&readable);
  for (int i = 0; i < count; ++i) {
    if (sockets[i] != kNoSocket) FD_SET(Native(sockets[i]), &readable);
  }
  timeval wait{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  const int ready = select(0, &readable, nullptr, nullptr, timeout_ms < 0 ? nullptr : &wait);
  if (ready < 0) return WSAGetLastError() == WSAEINTR ? kWaitTimedOut : kWaitFailed;
  for (int i = 0; i < count; ++i) {
    if (sockets[i] != kNoSocket && FD_ISSET(Native(sockets[i]), &readable)) return i;
  }
  return kWaitTimedOut;
}

}  // namespace zarvo::sim
