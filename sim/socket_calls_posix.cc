#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "socket_calls.h"

namespace zarvo::sim {

SocketHandle ListenOn(const std::string& host, uint16_t port, uint16_t& bound_port,
                      std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int resolved =
      ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
  if (resolved != 0) {
    error = "cannot resolve '" + host + "': " + ::gai_strerror(resolved);
    return kNoSocket;
  }
  int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  const int on = 1;
  if (fd >= 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (fd < 0 || ::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 4) != 0) {
    error = std::string("cannot listen on ") + host + ":" + service + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    ::freeaddrinfo(found);
    return kNoSocket;
  }
  ::freeaddrinfo(found);
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
  bound_port =
      ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                        : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return fd;
}

SocketHandle AcceptConnection(SocketHandle listener) {
  const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return kNoSocket;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

bool OpenSocketPair(SocketHandle pair[2]) {
  return ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0;
}

int WaitForInput(const SocketHandle* sockets, int count, int timeout_ms) {
  pollfd fds[8];
  if (count > 8) return kWaitFailed;
  for (int i = 0; i < count; ++i) fds[i] = {sockets[i], POLLIN, 0};  // poll skips -1
  const int ready = ::poll(fds, static_cast<nfds_t>(count), timeout_ms);
  if (ready < 0) return errno == EINTR ? kWaitTimedOut : kWaitFailed;
  for (int i = 0; i < count; ++i) {
    if (fds[i].revents != 0) return i;
  }
  return kWaitTimedOut;
}

}  // namespace zarvo::sim
