#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "transport/socket_shim.h"

namespace zarvo::net {

int StartSockets() { return 0; }
void StopSockets() {}

int LastSocketError() { return errno; }

const char* SocketErrorWords(int error) {
  switch (error) {
    case ECONNREFUSED: return "connection refused";
    case ETIMEDOUT: return "connection timed out";
    case EHOSTUNREACH: return "host unreachable";
    case ENETUNREACH: return "network unreachable";
    case ECONNRESET: return "connection reset by the server";
    case EADDRNOTAVAIL: return "address not available";
    case EAFNOSUPPORT: return "address family not supported here";
    case EACCES:
    case EPERM: return "not permitted (a firewall rule?)";
    case EMFILE:
    case ENFILE: return "too many open files";
    default: return nullptr;
  }
}

bool IsInterrupted(int error) { return error == EINTR || error == EAGAIN || error == EWOULDBLOCK; }
bool IsConnectPending(int error) { return error == EINPROGRESS; }
bool IsTimedOut(int error) { return error == ETIMEDOUT; }

namespace {

int Resolve(const char* host, const char* port, SocketAddress* out, int capacity, int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | flags;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host, port, &hints, &found) != 0) return -1;
  int count = 0;
  for (const addrinfo* a = found; a != nullptr && count < capacity; a = a->ai_next) {
    if (a->ai_addrlen > sizeof out[count].bytes) continue;
    std::memcpy(out[count].bytes, a->ai_addr, a->ai_addrlen);
    out[count].length = static_cast<int>(a->ai_addrlen);
    out[count].family = a->ai_family;
    ++count;
  }
  ::freeaddrinfo(found);
  return count;
}

struct ThreadStart {
  void (*run)(void*);
  void* argument;
};

void* RunThread(void* start) {
  const ThreadStart call = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  call.run(call.argument);
  return nullptr;
}

}  // namespace

int ResolveAddresses(const char* host, const char* port, SocketAddress* out, int capacity) {
  return Resolve(host, port, out, capacity, 0);
}

int ResolveNumericAddress(const char* host, const char* port, SocketAddress* out, int capacity) {
  return Resolve(host, port, out, capacity, AI_NUMERICHOST);
}

bool StartDetachedThread(void (*run)(void*), void* argument) {
  auto* call = new (std::nothrow) ThreadStart{run, argument};
  if (call == nullptr) return false;
  pthread_attr_t attributes;
  pthread_t thread;
  bool started = false;
  if (pthread_attr_init(&attributes) == 0) {
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    started = pthread_create(&thread, &attributes, RunThread, call) == 0;
    pthread_attr_destroy(&attributes);
  }
  if (!started) delete call;
  return started;
}

bool CompletionSignal::Open() { return ::pipe2(pipe_, O_CLOEXEC) == 0; }

void CompletionSignal::Close() {
  for (int& end : pipe_) {
    if (end >= 0) ::close(end);
    end = -1;
  }
}

void CompletionSignal::Raise() {
  const uint8_t raised = 1;
  while (::write(pipe_[1], &raised, 1) < 0 && errno == EINTR) {
  }
}

bool CompletionSignal::WaitRaised(uint32_t wait_ms) {
  pollfd p{pipe_[0], POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(wait_ms)) <= 0) return false;
  uint8_t raised = 0;
  return ::read(pipe_[0], &raised, 1) == 1;
}

SocketHandle OpenStreamSocket(int family) {
  return ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
}

int StartConnect(SocketHandle socket, const SocketAddress& address) {
  const auto* peer = reinterpret_cast<const sockaddr*>(address.bytes);
  if (::connect(socket, peer, static_cast<socklen_t>(address.length)) == 0) return 0;
  return errno;
}

int ConnectOutcome(SocketHandle socket) {
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

void TuneForRequests(SocketHandle socket) {
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
#if defined(TCP_KEEPIDLE)
  const int idle_s = 5, interval_s = 2, probes = 3;
  ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPIDLE, &idle_s, sizeof idle_s);
  ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPINTVL, &interval_s, sizeof interval_s);
  ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
#elif defined(TCP_KEEPALIVE)
  const int idle_s = 5;
  ::setsockopt(socket, IPPROTO_TCP, TCP_KEEPALIVE, &idle_s, sizeof idle_s);
#endif
#if defined(SO_NOSIGPIPE)
  ::setsockopt(socket, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) ::close(socket);
}

Readiness WaitSocket(SocketHandle socket, bool for_write, uint32_t wait_ms) {
  pollfd p{socket, static_cast<short>(for_write ? POLLOUT : POLLIN), 0};
  const int ready = ::poll(&p, 1, static_cast<int>(wait_ms));
  if (ready > 0) return Readiness::kReady;
  if (ready == 0 || errno == EINTR) return Readiness::kTimedOut;
  return Readiness::kFailed;
}

long SendBytes(SocketHandle socket, const uint8_t* bytes, size_t count) {
#if defined(MSG_NOSIGNAL)
  return ::send(socket, bytes, count, MSG_NOSIGNAL);
#else
  return ::send(socket, bytes, count, 0);
#endif
}

long ReceiveBytes(SocketHandle socket, uint8_t* dest, size_t capacity) {
  return ::recv(socket, dest, capacity, 0);
}

}  // namespace zarvo::net
