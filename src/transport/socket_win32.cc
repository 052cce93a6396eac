#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0600
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // WSAPoll
#endif
// Winsock's own header comes before the ones built on it.
// clang-format off
#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>
// clang-format on

#include <climits>
#include <cstring>
#include <new>

#include "transport/socket_shim.h"

namespace zarvo::net {
namespace {

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

}  // namespace

int StartSockets() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data);
}
void StopSockets() { WSACleanup(); }

int LastSocketError() { return WSAGetLastError(); }

const char* SocketErrorWords(int error) {
  switch (error) {
    case WSAECONNREFUSED: return "connection refused";
    case WSAETIMEDOUT: return "connection timed out";
    case WSAEHOSTUNREACH: return "host unreachable";
    case WSAENETUNREACH: return "network unreachable";
    case WSAECONNRESET: return "connection reset by the server";
    case WSAECONNABORTED: return "connection aborted";
    case WSAEADDRNOTAVAIL: return "address not available";
    case WSAEAFNOSUPPORT: return "address family not supported here";
    case WSAEACCES: return "not permitted (a firewall rule?)";
    case WSAEMFILE: return "too many open sockets";
    case WSANOTINITIALISED:
    case WSASYSNOTREADY: return "the network subsystem is not ready";
    default: return nullptr;
  }
}

bool IsInterrupted(int error) { return error == WSAEINTR || error == WSAEWOULDBLOCK; }
bool IsConnectPending(int error) { return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS; }
bool IsTimedOut(int error) { return error == WSAETIMEDOUT; }

namespace {

int Resolve(const char* host, const char* port, SocketAddress* out, int capacity, int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | flags;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, port, &hints, &found) != 0) return -1;
  int count = 0;
  for (const addrinfo* a = found; a != nullptr && count < capacity; a = a->ai_next) {
    if (a->ai_addrlen > sizeof out[count].bytes) continue;
    std::memcpy(out[count].bytes, a->ai_addr, a->ai_addrlen);
    out[count].length = static_cast<int>(a->ai_addrlen);
    out[count].family = a->ai_family;
    ++count;
  }
  freeaddrinfo(found);
  return count;
}

struct ThreadStart {
  void (*run)(void*);
  void* argument;
};

DWORD WINAPI RunThread(void* start) {
  const ThreadStart call = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  call.run(call.argument);
  return 0;
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
  const HANDLE thread = CreateThread(nullptr, 0, RunThread, call, 0, nullptr);
  if (thread == nullptr) {
    delete call;
    return false;
  }
  CloseHandle(thread);
  return true;
}

bool CompletionSignal::Open() {
  event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event_ != nullptr;
}

void CompletionSignal::Close() {
  if (event_ != nullptr) CloseHandle(event_);
  event_ = nullptr;
}

void CompletionSignal::Raise() { SetEvent(event_); }

bool CompletionSignal::WaitRaised(uint32_t wait_ms) {
  return WaitForSingleObject(event_, wait_ms) == WAIT_OBJECT_0;
}

SocketHandle OpenStreamSocket(int family) {
  // Overlapped off and not inherited by child processes.
  const SOCKET s =
      WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return kNoSocket;
  u_long non_blocking = 1;
  if (ioctlsocket(s, FIONBIO, &non_blocking) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  return static_cast<SocketHandle>(s);
}

int StartConnect(SocketHandle socket, const SocketAddress& address) {
  const auto* peer = reinterpret_cast<const sockaddr*>(address.bytes);
  if (connect(Native(socket), peer, address.length) == 0) return 0;
  return WSAGetLastError();
}

int ConnectOutcome(SocketHandle socket) {
  int error = 0;
  int size = sizeof error;
  if (getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) !=
      0) {
    return WSAGetLastError();
  }
  return error;
}

void TuneForRequests(SocketHandle socket) {
  const BOOL on = TRUE;
  setsockopt(Native(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
             sizeof on);
  tcp_keepalive timers{};
  timers.onoff = 1;
  timers.keepalivetime = 5000;
  timers.keepaliveinterval = 2000;
  DWORD returned = 0;
  WSAIoctl(Native(socket), SIO_KEEPALIVE_VALS, &timers, sizeof timers, nullptr, 0, &returned,
           nullptr, nullptr);
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) closesocket(Native(socket));
}

Readiness WaitSocket(SocketHandle socket, bool for_write, uint32_t wait_ms) {
  int ready;
  if (for_write) {
    // A refused connect shows in the exception set; WSAPoll does not report
    // it on every Windows version. A failed connection shows there too
    // when waiting for room to send, and the send then reports it.
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(Native(socket), &writable);
    FD_SET(Native(socket), &failed);
    timeval wait{static_cast<long>(wait_ms / 1000), static_cast<long>(wait_ms % 1000) * 1000};
    ready = select(0, nullptr, &writable, &failed, &wait);
  } else {
    WSAPOLLFD p{};
    p.fd = Native(socket);
    p.events = POLLRDNORM;
    ready = WSAPoll(&p, 1, wait_ms > INT_MAX ? INT_MAX : static_cast<int>(wait_ms));
  }
  if (ready > 0) return Readiness::kReady;
  if (ready == 0 || WSAGetLastError() == WSAEINTR) return Readiness::kTimedOut;
  return Readiness::kFailed;
}

long SendBytes(SocketHandle socket, const uint8_t* bytes, size_t count) {
  const int size = count > INT_MAX ? INT_MAX : static_cast<int>(count);
  return send(Native(socket), reinterpret_cast<const char*>(bytes), size, 0);
}

long ReceiveBytes(SocketHandle socket, uint8_t* dest, size_t capacity) {
  const int size = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
  return recv(Native(socket), reinterpret_cast<char*>(dest), size, 0);
}

}  // namespace zarvo::net
