#include "pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace zarvo::sim {

void WriteAll(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, bytes, count);
    if (n <= 0) return;
    bytes += n;
    count -= static_cast<size_t>(n);
  }
}

bool PseudoTerminal::Open() {
  Close();
  master_fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_fd_ < 0) return false;
  if (grantpt(master_fd_) != 0 || unlockpt(master_fd_) != 0) {
    Close();
    return false;
  }
  char name[128];
  if (ptsname_r(master_fd_, name, sizeof name) != 0) {
    Close();
    return false;
  }
  device_name_ = name;
  slave_hold_fd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_hold_fd_ < 0) {
    Close();
    return false;
  }
  // Raw from the start: no echo, no line editing, no character mapping.
  termios tio{};
  if (tcgetattr(slave_hold_fd_, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(slave_hold_fd_, TCSANOW, &tio);
  }
  return true;
}

void PseudoTerminal::Close() {
  if (slave_hold_fd_ >= 0) ::close(slave_hold_fd_);
  if (master_fd_ >= 0) ::close(master_fd_);
  slave_hold_fd_ = master_fd_ = -1;
  device_name_.clear();
}

}  // namespace zarvo::sim
