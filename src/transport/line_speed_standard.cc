// The standard line speeds, set through termios on any POSIX system.
#include <errno.h>
#include <termios.h>

#include <cstdint>

#include "transport/posix_serial_port.h"

namespace zarvo {
namespace {

speed_t StandardSpeed(int32_t baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
  }
}

}  // namespace

bool SetStandardLineSpeed(int fd, int32_t baud) {
  const speed_t speed = StandardSpeed(baud);
  termios tio{};
  if (speed == B0 || tcgetattr(fd, &tio) != 0) return false;
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

#if !defined(__linux__)
// Without a custom-speed interface only the standard rates are possible.
bool SetLineSpeed(int fd, int32_t baud) { return SetStandardLineSpeed(fd, baud); }

// No RS-485 mode in this platform's terminal interface.
bool SetRs485Direction(int, const SerialDirection&) {
  errno = ENOTTY;
  return false;
}
#endif

}  // namespace zarvo
