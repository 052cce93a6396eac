#include "transport/socket_connection.h"

#include "transport/name_lookup.h"
#include "transport/socket_endpoint.h"

namespace zarvo::net {
namespace {

// Marks a connect that ran out of time, as distinct from the system's errors.
constexpr int kDeadlinePassed = -1;

void ExplainConnectFailure(int error, OpenFailure& why) {
  if (error == kDeadlinePassed || IsTimedOut(error)) {
    why.Set("connection timed out after %u s",
            static_cast<unsigned>(SocketConnection::kConnectDeadlineMs / 1000));
    return;
  }
  const char* words = SocketErrorWords(error);
  if (words != nullptr) {
    why.Set("%s", words);
  } else {
    why.Set("cannot connect: system error %d", error);
  }
}

}  // namespace

bool SocketConnection::Open(const char* endpoint, const char* scheme, OpenFailure& why) {
  Close();
  Endpoint parsed;
  if (!ParseEndpoint(endpoint, parsed)) {
    why.Set("malformed address, expected %s://HOST:PORT", scheme);
    return false;
  }
  const int start_error = StartSockets();
  if (start_error != 0) {
    why.Set("the network subsystem cannot start: system error %d", start_error);
    return false;
  }
  // The deadline covers the name lookup and the connect together.
  const uint32_t start = clock_.NowMs();
  SocketAddress candidates[kMaxLookupAddresses];
  const int count = LookUpWithin(parsed.host, parsed.port, candidates, kMaxLookupAddresses,
                                 kConnectDeadlineMs, lookup_);
  if (count <= 0) {
    StopSockets();
    if (count == kLookupTimedOut) {
      why.Set("cannot resolve host '%s': no answer from the name server within %u s", parsed.host,
              static_cast<unsigned>(kConnectDeadlineMs / 1000));
    } else {
      why.Set("cannot resolve host '%s'", parsed.host);
    }
    return false;
  }
  // A name may stand for several addresses (IPv6 and IPv4 for "localhost");
  // the first that accepts within the deadline is kept.
  int error = kDeadlinePassed;
  for (int i = 0; i < count; ++i) {
    const uint32_t spent = clock_.NowMs() - start;
    if (spent >= kConnectDeadlineMs) break;
    error = ConnectTo(candidates[i], kConnectDeadlineMs - spent);
    if (error == 0) {
      address_ = candidates[i];
      open_ = true;
      return true;
    }
  }
  StopSockets();
  ExplainConnectFailure(error, why);
  return false;
}

int SocketConnection::ConnectTo(const SocketAddress& address, uint32_t wait_ms) {
  const SocketHandle socket = OpenStreamSocket(address.family);
  if (socket == kNoSocket) return LastSocketError();
  int error = StartConnect(socket, address);
  if (IsConnectPending(error)) {
    const uint32_t start = clock_.NowMs();
    error = kDeadlinePassed;
    for (;;) {
      const uint32_t spent = clock_.NowMs() - start;
      if (spent >= wait_ms) break;
      const Readiness ready = WaitSocket(socket, true, wait_ms - spent);
      if (ready == Readiness::kFailed) {
        error = LastSocketError();
        break;
      }
      if (ready == Readiness::kReady) {
        error = ConnectOutcome(socket);
        break;
      }
    }
  }
  if (error != 0) {
    CloseSocket(socket);
    return error;
  }
  TuneForRequests(socket);
  socket_ = socket;
  return 0;
}

void SocketConnection::Close() {
  MarkLost();
  if (open_) StopSockets();
  open_ = false;
}

void SocketConnection::MarkLost() {
  CloseSocket(socket_);
  socket_ = kNoSocket;
}

bool SocketConnection::EnsureConnected() {
  if (!open_) return false;
  if (connected()) return true;
  if (ConnectTo(address_, kConnectDeadlineMs) != 0) return false;
  ++reconnects_;
  return true;
}

// The socket stays non-blocking: a server that stops reading (its own
// serial port held up, its TCP window closed) would otherwise hold the
// caller, and the line's lock, for ever.
bool SocketConnection::Send(const uint8_t* bytes, size_t count, uint32_t wait_ms) {
  if (!connected()) return false;
  const uint32_t start = clock_.NowMs();
  while (count > 0) {
    const long sent = SendBytes(socket_, bytes, count);
    if (sent > 0) {
      bytes += sent;
      count -= static_cast<size_t>(sent);
      continue;
    }
    const uint32_t spent = clock_.NowMs() - start;
    if (sent == 0 || !IsInterrupted(LastSocketError()) || spent >= wait_ms ||
        WaitSocket(socket_, true, wait_ms - spent) == Readiness::kFailed) {
      MarkLost();
      return false;
    }
  }
  return true;
}

int32_t SocketConnection::Receive(uint8_t* dest, size_t capacity, uint32_t wait_ms) {
  if (!connected()) return -1;
  const Readiness ready = WaitSocket(socket_, false, wait_ms);
  if (ready == Readiness::kTimedOut) return 0;
  if (ready == Readiness::kReady) {
    const long got = ReceiveBytes(socket_, dest, capacity);
    if (got > 0) return static_cast<int32_t>(got);
    if (got < 0 && IsInterrupted(LastSocketError())) return 0;
  }
  // The server closed the connection, reset it, or it failed.
  MarkLost();
  return -1;
}

}  // namespace zarvo::net
