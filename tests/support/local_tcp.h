// Small loopback TCP helpers for the network tests: a free port, waiting
// for a server to accept, and a peer that accepts connections but never
// says a word.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace zarvo::testing {

// Binds 127.0.0.1 port 0 and returns the port the system chose (with
// SO_REUSEADDR the caller's server can bind it right after); 0 on failure.
inline uint16_t FreeTcpPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

inline bool AcceptsConnections(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

// Retries a connect to 127.0.0.1:`port`, a few milliseconds apart, until
// it succeeds or `deadline_ms` passes.
inline bool WaitUntilAccepting(uint16_t port, uint32_t deadline_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadline_ms);
  while (!AcceptsConnections(port)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    ::poll(nullptr, 0, 5);
  }
  return true;
}

// Built by appending: gcc 12 warns falsely (array-bounds) on a chain of
// std::string operator+ once it is inlined.
inline std::string LoopbackUrl(const char* scheme, uint16_t port) {
  std::string url(scheme);
  url.append("://127.0.0.1:").append(std::to_string(port));
  return url;
}

// Listens on 127.0.0.1 and never accepts: the system completes the
// connections, so clients connect and send, and never hear anything back.
class SilentTcpPeer {
 public:
  // With `full` the queue of waiting connections is filled up first, so
  // that a further connect is never answered and runs into its deadline.
  // A `receive_buffer` size makes its connections' windows close soon,
  // as a server's does when it stops reading.
  explicit SilentTcpPeer(bool full = false, int receive_buffer = 0) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receive_buffer > 0) {
      ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(fd_, 8) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ntohs(address.sin_port);
    }
    if (full) {
      ::listen(fd_, 0);
      for (int& filler : fillers_) {
        filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&address), size);
      }
    }
  }
  ~SilentTcpPeer() {
    for (int filler : fillers_) ::close(filler);
    ::close(fd_);
  }
  SilentTcpPeer(const SilentTcpPeer&) = delete;
  SilentTcpPeer& operator=(const SilentTcpPeer&) = delete;

  uint16_t port() const { return port_; }
  std::string url(const char* scheme = "tcp") const { return LoopbackUrl(scheme, port_); }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  int fillers_[2] = {-1, -1};
};

// Accepts one connection on 127.0.0.1, says its piece at once (a device
// server's negotiation, for one), then reads and drops what comes until the
// client closes.
class ScriptedTcpPeer {
 public:
  explicit ScriptedTcpPeer(std::vector<uint8_t> says) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(fd_, 1) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ntohs(address.sin_port);
    }
    thread_ = std::thread([this, says = std::move(says)] {
      const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) return;
      ::send(client, says.data(), says.size(), MSG_NOSIGNAL);
      char scratch[256];
      while (::recv(client, scratch, sizeof scratch, 0) > 0) {
      }
      ::close(client);
    });
  }
  ~ScriptedTcpPeer() {
    ::shutdown(fd_, SHUT_RDWR);  // ends an accept still waiting
    thread_.join();
    ::close(fd_);
  }
  ScriptedTcpPeer(const ScriptedTcpPeer&) = delete;
  ScriptedTcpPeer& operator=(const ScriptedTcpPeer&) = delete;

  std::string url(const char* scheme) const { return LoopbackUrl(scheme, port_); }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace zarvo::testing
