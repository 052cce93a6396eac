// A bus line over loopback TCP, for systems without pseudo-terminals: the
// bus listens on 127.0.0.1 (a free port) and serves one host connection
// at a time; a new connection takes over from the one before, as a
// reconnecting host expects. A socket pair wakes the serving thread.
#pragma once

#include "bus_wire.h"
#include "tcp_listener.h"

namespace zarvo::sim {

class SocketWire : public BusWire {
 public:
  SocketWire() = default;
  ~SocketWire() override { Close(); }
  SocketWire(const SocketWire&) = delete;
  SocketWire& operator=(const SocketWire&) = delete;

  bool Open() override;
  void Close() override;
  void HangUp() override;
  const std::string& name() const override { return name_; }
  long Receive(uint8_t* dest, size_t capacity) override;
  void Send(const uint8_t* bytes, size_t count) override;
  void Pause(uint32_t ms) override;
  void Wake() override;

 private:
  void DropHost();

  TcpListener listener_;
  SocketHandle host_ = kNoSocket;
  SocketHandle wake_[2] = {kNoSocket, kNoSocket};
  bool sockets_started_ = false;
  std::string name_;
};

}  // namespace zarvo::sim
