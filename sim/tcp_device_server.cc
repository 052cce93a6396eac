#include "tcp_device_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "pseudo_terminal.h"
#include "virtual_bus.h"

namespace zarvo::sim {

TcpDeviceServer::TcpDeviceServer(DeviceSource source) : source_(std::move(source)) {}

TcpDeviceServer::TcpDeviceServer(VirtualBus& bus)
    : source_([&bus](bool hung_up) {
        if (hung_up) {
          bus.Stop();
          if (!bus.Start()) return std::string();
        }
        return bus.device_name();
      }) {}

bool TcpDeviceServer::Start(const std::string& host, uint16_t port, std::string& error) {
  Stop();
  if (!listener_.Listen(host, port, error)) return false;
  if (!OpenDevice(false)) {
    error = "cannot open the device to relay to";
    listener_.Close();
    return false;
  }
  if (::pipe2(wake_pipe_, O_CLOEXEC) != 0) {
    error = "cannot create a pipe";
    return false;
  }
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void TcpDeviceServer::Stop() {
  if (wake_pipe_[1] >= 0) (void)!::write(wake_pipe_[1], "x", 1);
  if (thread_.joinable()) thread_.join();
  for (int& fd : wake_pipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  DropClient();
  CloseDevice();
  listener_.Close();
}

void TcpDeviceServer::Serve() {
  for (;;) {
    pollfd fds[4] = {{wake_pipe_[0], POLLIN, 0},
                     {listener_.fd(), POLLIN, 0},
                     {client_, POLLIN, 0},
                     {client_ >= 0 ? device_ : -1, POLLIN, 0}};
    if (::poll(fds, 4, -1) < 0) continue;
    if (fds[0].revents != 0) return;
    if (fds[2].revents != 0 && !RelayFromClient()) DropClient();
    if (fds[3].revents != 0 && !RelayFromDevice()) {
      // The device hung up (the virtual controller closed its line): the
      // client sees its connection close, and the next one gets a new device.
      DropClient();
      CloseDevice();
      OpenDevice(true);
    }
    if (fds[1].revents != 0) {
      const int client = listener_.Accept();
      if (client >= 0) TakeClient(client);
    }
  }
}

void TcpDeviceServer::TakeClient(int client) {
  DropClient();
  ++accepted_;
  if (device_ < 0 && !OpenDevice(true)) {
    ::close(client);
    return;
  }
  // Replies meant for an earlier client are not this one's.
  tcflush(device_, TCIFLUSH);
  client_ = client;
}

void TcpDeviceServer::DropClient() {
  if (client_ >= 0) ::close(client_);
  client_ = -1;
}

bool TcpDeviceServer::OpenDevice(bool hung_up) {
  const std::string name = source_(hung_up);
  if (name.empty()) return false;
  device_ = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (device_ < 0) return false;
  termios tio{};
  if (tcgetattr(device_, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(device_, TCSANOW, &tio);
  }
  return true;
}

void TcpDeviceServer::CloseDevice() {
  if (device_ >= 0) ::close(device_);
  device_ = -1;
}

bool TcpDeviceServer::RelayFromClient() {
  uint8_t chunk[4096];
  const ssize_t n = ::recv(client_, chunk, sizeof chunk, 0);
  if (n <= 0) return false;
  WriteAll(device_, chunk, static_cast<size_t>(n));
  return true;
}

bool TcpDeviceServer::RelayFromDevice() {
  uint8_t chunk[4096];
  const ssize_t n = ::read(device_, chunk, sizeof chunk);
  if (n <= 0) return false;
  SendAll(client_, chunk, static_cast<size_t>(n));
  return true;
}

}  // namespace zarvo::sim
