// A raw TCP device server: one client at a time, its bytes relayed
// unchanged to and from a serial device (the virtual controller's
// pseudo-terminal), as a serial-to-Ethernet converter does. A new client
// takes over from the one before.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "tcp_listener.h"

namespace zarvo::sim {

class VirtualBus;

class TcpDeviceServer {
 public:
  // Names the device to relay to; called with `hung_up` true after the
  // device hung up, so the source can bring up a new one ("" for none).
  using DeviceSource = std::function<std::string(bool hung_up)>;

  explicit TcpDeviceServer(DeviceSource source);
  // Serves the virtual bus; after the bus closed its line (a close_line
  // fault) it starts again on a new pseudo-terminal, its state kept.
  explicit TcpDeviceServer(VirtualBus& bus);
  ~TcpDeviceServer() { Stop(); }
  TcpDeviceServer(const TcpDeviceServer&) = delete;
  TcpDeviceServer& operator=(const TcpDeviceServer&) = delete;

  // Listens on `host`:`port` (0: any free port) and serves from a thread
  // of its own; false with the reason in `error`.
  bool Start(const std::string& host, uint16_t port, std::string& error);
  void Stop();

  // "tcp://HOST:PORT" for the port name a host opens.
  std::string url() const { return "tcp://" + listener_.endpoint(); }
  uint16_t port() const { return listener_.port(); }
  uint64_t connections_accepted() const { return accepted_; }

 private:
  void Serve();
  void TakeClient(int client);
  void DropClient();
  bool OpenDevice(bool hung_up);
  void CloseDevice();
  // False when the side read from is gone.
  bool RelayFromClient();
  bool RelayFromDevice();

  DeviceSource source_;
  TcpListener listener_;
  int client_ = -1;
  int device_ = -1;
  int wake_pipe_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<uint64_t> accepted_{0};
};

}  // namespace zarvo::sim
