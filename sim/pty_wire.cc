#include "pty_wire.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zarvo::sim {

bool PtyWire::Open() {
  if (!pty_.Open()) return false;
  return ::pipe2(wake_pipe_, O_CLOEXEC) == 0;
}

void PtyWire::Close() {
  for (int& fd : wake_pipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  pty_.Close();
}

void PtyWire::HangUp() {
  tcdrain(pty_.master_fd());
  pty_.Close();
}

long PtyWire::Receive(uint8_t* dest, size_t capacity) {
  if (pty_.master_fd() < 0) return -1;
  pollfd fds[2] = {{pty_.master_fd(), POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
  if (::poll(fds, 2, -1) < 0) return 0;
  if (fds[1].revents != 0) return -1;
  if (!(fds[0].revents & POLLIN)) return 0;
  const ssize_t n = ::read(pty_.master_fd(), dest, capacity);
  return n < 0 ? 0 : n;
}

void PtyWire::Send(const uint8_t* bytes, size_t count) { WriteAll(pty_.master_fd(), bytes, count); }

void PtyWire::Pause(uint32_t ms) {
  pollfd wake{wake_pipe_[0], POLLIN, 0};
  ::poll(&wake, 1, static_cast<int>(ms));
}

void PtyWire::Wake() {
  if (wake_pipe_[1] < 0) return;
  const uint8_t wake = 1;
  (void)!::write(wake_pipe_[1], &wake, 1);
}

namespace {

struct Speed {
  speed_t code;
  uint32_t baud;
};

constexpr Speed kSpeeds[] = {{B1200, 1200},   {B2400, 2400},     {B4800, 4800},
                             {B9600, 9600},   {B19200, 19200},   {B38400, 38400},
                             {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};

}  // namespace

uint32_t PtyWire::HostSpeed() const {
  termios tio{};
  if (tcgetattr(pty_.master_fd(), &tio) != 0) return 0;
  const speed_t code = cfgetospeed(&tio);
  for (const Speed& s : kSpeeds) {
    if (s.code == code) return s.baud;
  }
  return 0;
}

}  // namespace zarvo::sim
