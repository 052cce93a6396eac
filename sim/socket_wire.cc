#include "socket_wire.h"

namespace zarvo::sim {

bool SocketWire::Open() {
  Close();
  if (net::StartSockets() != 0) return false;
  sockets_started_ = true;
  std::string error;
  if (!listener_.Listen("127.0.0.1", 0, error) || !OpenSocketPair(wake_)) {
    Close();
    return false;
  }
  name_ = "tcp://" + listener_.endpoint();
  return true;
}

void SocketWire::Close() {
  HangUp();
  for (SocketHandle& s : wake_) {
    net::CloseSocket(s);
    s = kNoSocket;
  }
  name_.clear();
  if (sockets_started_) net::StopSockets();
  sockets_started_ = false;
}

// Closing a socket still delivers what was sent on it.
void SocketWire::HangUp() {
  DropHost();
  listener_.Close();
}

void SocketWire::DropHost() {
  net::CloseSocket(host_);
  host_ = kNoSocket;
}

long SocketWire::Receive(uint8_t* dest, size_t capacity) {
  if (listener_.fd() == kNoSocket) return -1;
  const SocketHandle sockets[3] = {wake_[0], listener_.fd(), host_};
  switch (WaitForInput(sockets, 3, -1)) {
    case 0:
    case kWaitFailed: return -1;
    case 1: {
      const SocketHandle host = listener_.Accept();
      if (host != kNoSocket) {
        DropHost();
        host_ = host;
      }
      return 0;
    }
    case 2: {
      const long n = net::ReceiveBytes(host_, dest, capacity);
      if (n > 0) return n;
      // The host closed its connection (or it broke): wait for the next.
      if (n == 0 || !net::IsInterrupted(net::LastSocketError())) DropHost();
      return 0;
    }
    default: return 0;
  }
}

void SocketWire::Send(const uint8_t* bytes, size_t count) {
  if (host_ != kNoSocket) SendAll(host_, bytes, count);
}

void SocketWire::Pause(uint32_t ms) { WaitForInput(&wake_[0], 1, static_cast<int>(ms)); }

void SocketWire::Wake() {
  const uint8_t wake = 1;
  if (wake_[1] != kNoSocket) net::SendBytes(wake_[1], &wake, 1);
}

}  // namespace zarvo::sim
